#include "item_moniker.h"

#include "com_object.h"

#include <cstring>
#include <new>

namespace platform_core {

namespace {

constexpr CLSID kItemMonikerClass = {
    0x00000304, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr DWORD kSystemItemMoniker = 4;

class ItemMoniker final
    : public com::Object<com::Interface<IMoniker, IID_IMoniker, IID_IPersistStream, IID_IPersist>> {
public:
    explicit ItemMoniker(std::u16string displayName) : displayName_(std::move(displayName)) {}

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override {
        if (!classId)
            return E_POINTER;
        *classId = kItemMonikerClass;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULONGLONG*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID, void** result) override {
        return Unsupported(result);
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx*, IMoniker*, REFIID, void** result) override {
        return Unsupported(result);
    }
    HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** reduced) override {
        return Unsupported(reduced);
    }
    HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** composite) override {
        return Unsupported(composite);
    }
    HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** enumerator) override {
        return Unsupported(enumerator);
    }
    HRESULT STDMETHODCALLTYPE IsEqual(IMoniker* other) override {
        if (!other)
            return E_INVALIDARG;
        std::u16string otherName;
        return DisplayNameOf(other, &otherName) && otherName == displayName_ ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Hash(DWORD* hash) override {
        if (!hash)
            return E_POINTER;
        *hash = HashDisplayName(displayName_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Inverse(IMoniker** inverse) override { return Unsupported(inverse); }
    HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** prefix) override {
        return Unsupported(prefix);
    }
    HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** relative) override {
        return Unsupported(relative);
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* displayName) override {
        if (!displayName)
            return E_POINTER;
        const std::size_t bytes = (displayName_.size() + 1) * sizeof(OLECHAR);
        auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!copy) {
            *displayName = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(copy, displayName_.c_str(), bytes);
        *displayName = copy;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG* eaten,
                                               IMoniker** result) override {
        if (eaten)
            *eaten = 0;
        return Unsupported(result);
    }
    HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD* kind) override {
        if (!kind)
            return E_POINTER;
        *kind = kSystemItemMoniker;
        return S_OK;
    }

private:
    ~ItemMoniker() override = default;

    template <typename T> static HRESULT Unsupported(T** out) {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    const std::u16string displayName_;
};

std::u16string FromText(LPCOLESTR text) {
    return text ? std::u16string(text) : std::u16string();
}

} // namespace

bool DisplayNameOf(IMoniker* moniker, std::u16string* name) {
    LPOLESTR text = nullptr;
    if (FAILED(moniker->GetDisplayName(nullptr, nullptr, &text)) || !text)
        return false;
    *name = text;
    CoTaskMemFree(text);
    return true;
}

DWORD HashDisplayName(const std::u16string& name) {
    // FNV-1a over the UTF-16 code units.
    DWORD hash = 2166136261u;
    for (const char16_t unit : name) {
        hash = (hash ^ (unit & 0xFFu)) * 16777619u;
        hash = (hash ^ (unit >> 8)) * 16777619u;
    }
    return hash;
}

} // namespace platform_core

extern "C" HRESULT CreateItemMoniker(LPCOLESTR delimiter, LPCOLESTR item, IMoniker** moniker) {
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    if (!item)
        return E_INVALIDARG;
    auto* created =
        new (std::nothrow) platform_core::ItemMoniker(platform_core::FromText(delimiter) + item);
    if (!created)
        return E_OUTOFMEMORY;
    *moniker = created;
    return S_OK;
}
