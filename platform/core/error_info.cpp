#include "com_object.h"
#include "com_ptr.h"
#include "error_description.h"

#include "platform/unicode.h"

#include <cstring>
#include <new>

namespace {

thread_local com::Ptr<IErrorInfo> threadError;

// A text only: no source, no help.
class ErrorDescription final : public com::Object<com::Interface<IErrorInfo, IID_IErrorInfo>> {
public:
    explicit ErrorDescription(std::u16string text) : text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
        if (guid == nullptr)
            return E_POINTER;
        *guid = GUID{};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) override { return Text(u"", source); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override {
        return Text(text_, description);
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* file) override { return Text(u"", file); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override {
        if (context == nullptr)
            return E_POINTER;
        *context = 0;
        return S_OK;
    }

private:
    static HRESULT Text(const std::u16string& text, BSTR* out) {
        if (out == nullptr)
            return E_POINTER;
        *out = SysAllocString(text.c_str());
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    std::u16string text_;
};

} // namespace

namespace platform_core {

void SetErrorDescription(const std::string& utf8) {
    try {
        const auto text = unicode::Utf8ToUtf16(utf8, false);
        auto info = com::Ptr<IErrorInfo>::Adopt(new ErrorDescription(*text));
        SetErrorInfo(0, info.Get());
    } catch (const std::bad_alloc&) {
        SetErrorInfo(0, nullptr); // no text is better than an old one
    }
}

} // namespace platform_core

extern "C" {

HRESULT SetErrorInfo(DWORD, IErrorInfo* info) {
    threadError = com::Ptr<IErrorInfo>::Share(info);
    return S_OK;
}

HRESULT GetErrorInfo(DWORD, IErrorInfo** info) {
    if (info == nullptr)
        return E_POINTER;
    *info = threadError.Detach();
    return *info != nullptr ? S_OK : S_FALSE;
}

// The length in bytes stands in the four bytes before the text.
BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr)
        return nullptr;
    const std::size_t units = std::char_traits<char16_t>::length(text);
    auto* block = static_cast<std::uint32_t*>(
        ::operator new(sizeof(std::uint32_t) + (units + 1) * sizeof(OLECHAR), std::nothrow));
    if (block == nullptr)
        return nullptr;
    block[0] = static_cast<std::uint32_t>(units * sizeof(OLECHAR));
    auto* copy = reinterpret_cast<OLECHAR*>(block + 1);
    std::memcpy(copy, text, (units + 1) * sizeof(OLECHAR));
    return copy;
}

void SysFreeString(BSTR text) {
    if (text != nullptr)
        ::operator delete(reinterpret_cast<std::uint32_t*>(text) - 1);
}

} // extern "C"
