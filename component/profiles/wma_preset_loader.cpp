#include "profiles/wma_preset_loader.h"

#include "entry/component_resources.h"
#include "errors/wma_exception.h"
#include "profiles/preset_table.h"
#include "profiles/profile_text.h"

#include <stdexcept>

namespace {

constexpr char kSourceName[] = "WMAPresetLoader";
// A profile text holds at most this many bytes with its terminator.
constexpr int kProfileTextBufferSize = 4096;

} // namespace

WMAPresetLoader::WMAPresetLoader() {
    const HRESULT hr = WMCreateProfileManager(&profileManager_);
    if (FAILED(hr)) {
        profileManager_ = nullptr;
        throw CWMAException("Failed to create WMV Profile Manager object.", hr, kSourceName,
                            __LINE__);
    }
    FillPresets();
}

WMAPresetLoader::~WMAPresetLoader() {
    if (profileManager_ != nullptr) {
        profileManager_->Release();
        profileManager_ = nullptr;
    }
}

void WMAPresetLoader::FillPresets() {
    presets_.clear();
    const HMODULE module = GetModuleHandleA(kComponentModuleName);
    for (const PresetRow& row : BuiltInPresets) {
        char text[kProfileTextBufferSize] = {};
        // A text that cannot be found stays empty; loading that preset fails later.
        if (module == nullptr ||
            LoadStringA(module, row.profileTextId, text, kProfileTextBufferSize) <= 0) {
            text[0] = '\0';
        }
        presets_.push_back({row.name, row.description, text});
    }
}

int WMAPresetLoader::PresetCount() const {
    return static_cast<int>(presets_.size());
}

const WMAPreset& WMAPresetLoader::PresetAt(int index) const {
    if (index < 0 || index >= PresetCount()) {
        throw std::out_of_range("invalid vector<T> subscript");
    }
    return presets_[static_cast<std::size_t>(index)];
}

std::string WMAPresetLoader::PresetName(int index) const {
    return PresetAt(index).name;
}

std::string WMAPresetLoader::PresetDescription(int index) const {
    return PresetAt(index).description;
}

HRESULT WMAPresetLoader::LoadPresetProfile(int index, IWMProfile** profile) const {
    const std::u16string text = ProfileTextToWide(PresetAt(index).profileText);
    return LoadCustomProfile(text.c_str(), profile);
}

HRESULT WMAPresetLoader::LoadCustomProfile(const WCHAR* text, IWMProfile** profile) const {
    if (profile == nullptr) {
        return E_POINTER;
    }
    if (profileManager_ == nullptr) {
        return E_UNEXPECTED;
    }
    *profile = nullptr;
    return profileManager_->LoadProfileByData(text, profile);
}
