// The built-in encoding presets and the loading of Windows Media profiles,
// from a preset's text or from a custom profile text.
#pragma once

#include "com/com_pairing.h"
#include "platform/wmsdk.h"

#include <string>
#include <vector>

struct WMAPreset {
    std::string name;
    std::string description;
    std::string profileText; // XML profile text
};

class WMAPresetLoader {
public:
    // Joins the calling thread to COM and creates the profile manager; raises
    // CWMAException when the manager cannot be created.
    WMAPresetLoader();
    // Must run on the constructing thread: it undoes that thread's COM pairing.
    virtual ~WMAPresetLoader();
    WMAPresetLoader(const WMAPresetLoader&) = delete;
    WMAPresetLoader& operator=(const WMAPresetLoader&) = delete;

    int PresetCount() const;
    // Copies; an index outside the list raises std::out_of_range.
    std::string PresetName(int index) const;
    std::string PresetDescription(int index) const;

    // The new profile carries one reference for the caller.
    HRESULT LoadPresetProfile(int index, IWMProfile** profile) const;
    HRESULT LoadCustomProfile(const WCHAR* text, IWMProfile** profile) const;

private:
    void FillPresets();
    const WMAPreset& PresetAt(int index) const;

    ComPairing comPairing_;
    IWMProfileManager* profileManager_ = nullptr;
    std::vector<WMAPreset> presets_;
};
