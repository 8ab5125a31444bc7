#include "wm_writer_advanced.h"

#include "header_info_reads.h"

#include "core/com_object.h"

#include <new>

namespace writer {
namespace {

class WriterAdvanced final
    : public com::Object<
          com::Interface<IWMWriterAdvanced2, IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced>,
          com::Interface<IWMHeaderInfo, IID_IWMHeaderInfo>> {
public:
    explicit WriterAdvanced(std::shared_ptr<HeaderAttributes> attributes)
        : attributes_(std::move(attributes)) {}

    // IWMWriterAdvanced: sinks, live sources and statistics belong to the
    // stand-alone writer object, which this filter does not offer.
    HRESULT STDMETHODCALLTYPE GetSinkCount(DWORD* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSink(DWORD, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddSink(void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveSink(void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, void*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetLiveSource(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRealTime(BOOL* realTime) override {
        if (realTime == nullptr) {
            return E_POINTER;
        }
        *realTime = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWriterTime(QWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatistics(WORD, void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncTolerance(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncTolerance(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*,
                                              WORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*,
                                              WORD) override {
        return E_NOTIMPL;
    }

    // IWMHeaderInfo: attributes of the whole file (stream 0).
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD streamNumber, WORD* count) override {
        return AttributeCount(attributes_->Snapshot(), streamNumber, count);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* streamNumber, WCHAR* name,
                                                  WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                                  BYTE* value, WORD* valueLength) override {
        return AttributeByIndex(attributes_->Snapshot(), index, streamNumber, name, nameLength,
                                type, value, valueLength);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* streamNumber, LPCWSTR name,
                                                 WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 WORD* valueLength) override {
        return AttributeByName(attributes_->Snapshot(), streamNumber, name, type, value,
                               valueLength);
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD streamNumber, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                           const BYTE* value, WORD length) override {
        return attributes_->Set(streamNumber, name, type, value, length);
    }
    // Markers and scripts are not written by this filter.
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* count) override { return Zero(count); }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override {
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE AddMarker(const WCHAR*, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_INVALIDARG; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* count) override { return Zero(count); }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override {
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE AddScript(const WCHAR*, const WCHAR*, QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_INVALIDARG; }

private:
    ~WriterAdvanced() override = default;

    static HRESULT Zero(WORD* count) {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }

    std::shared_ptr<HeaderAttributes> attributes_;
};

} // namespace

com::Ptr<IWMWriterAdvanced2> CreateWriterAdvanced(std::shared_ptr<HeaderAttributes> attributes) {
    return com::Ptr<IWMWriterAdvanced2>::Adopt(new (std::nothrow)
                                                   WriterAdvanced(std::move(attributes)));
}

} // namespace writer
