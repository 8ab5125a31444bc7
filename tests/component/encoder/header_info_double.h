// A header-information object that records the attributes set on it and can
// be told to refuse them.
#pragma once

#include "platform/wmsdk.h"

#include <string>
#include <vector>

struct RecordedAttribute {
    WORD streamNumber;
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
    WORD length;
};

class RecordingHeaderInfo final : public IWMHeaderInfo {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetAttributeCount(WORD, WORD*) override { return E_NOTIMPL; }
    HRESULT GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*,
                                WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT GetAttributeByName(WORD*, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                         WORD length) override {
        attributes.push_back(
            {streamNumber, name, type, std::vector<BYTE>(value, value + length), length});
        return setResult;
    }
    HRESULT GetMarkerCount(WORD*) override { return E_NOTIMPL; }
    HRESULT GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT AddMarker(const WCHAR*, QWORD) override { return E_NOTIMPL; }
    HRESULT RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT GetScriptCount(WORD*) override { return E_NOTIMPL; }
    HRESULT GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
    HRESULT AddScript(const WCHAR*, const WCHAR*, QWORD) override { return E_NOTIMPL; }
    HRESULT RemoveScript(WORD) override { return E_NOTIMPL; }

    HRESULT setResult = S_OK;
    std::vector<RecordedAttribute> attributes;
};
