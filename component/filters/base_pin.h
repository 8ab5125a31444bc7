// One pin of a CBaseFilter: the connection protocol with a peer pin of the
// other direction, media-type negotiation and the pin's information. The pin
// counts no references of its own; it lives as long as its filter.
#pragma once

#include "filters/lock.h"
#include "filters/media_type.h"
#include "filters/unknown.h"
#include "platform/dshow.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(const char* objectName, CBaseFilter* filter, CLock* lock, HRESULT* result,
             LPCWSTR pinName, PIN_DIRECTION direction);
    ~CBasePin() override;

    HRESULT InnerQueryInterface(REFIID iid, void** object) override;
    ULONG InnerAddRef() override;
    ULONG InnerRelease() override;

    // Hooks of the inner table, in order.
    virtual int TypeListVersion() { return typeListVersion_; }
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnRunning(REFERENCE_TIME /*start*/) { return S_OK; }
    // S_OK accepts the type; anything else rejects it.
    virtual HRESULT ValidateMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT AdoptMediaType(const AM_MEDIA_TYPE* type);
    virtual HRESULT VetConnection(IPin* candidate);
    virtual HRESULT ReleaseConnection();
    virtual HRESULT FinishConnection(IPin* peer);
    // The pin's preferred type at a position, VFW_S_NO_MORE_ITEMS past the end;
    // a pin that offers no types keeps the base answer, E_UNEXPECTED.
    virtual HRESULT MediaTypeAt(int position, AM_MEDIA_TYPE* type);

    FILTERS_DELEGATE_UNKNOWN

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    // An output pin receives no stream events from downstream.
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IQualityControl
    HRESULT Notify(IBaseFilter* self, Quality quality) override;
    HRESULT SetSink(IQualityControl* sink) override;

    bool IsConnected() const { return peer_ != nullptr; }
    IPin* Peer() const { return peer_; }
    CBaseFilter* Filter() const { return filter_; }
    const CMediaDescriptor& ConnectionType() const { return connectionType_; }
    IQualityControl* QualitySink() const { return qualitySink_; }
    REFERENCE_TIME SegmentStart() const { return segmentStart_; }
    REFERENCE_TIME SegmentStop() const { return segmentStop_; }
    double SegmentRate() const { return segmentRate_; }

protected:
    // Either end of a connection: refused while connected, or while the
    // filter runs unless the pin allows that. Called with the lock held.
    HRESULT CanConnectNow() const;
    HRESULT NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type);
    HRESULT TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* partial,
                        IEnumMediaTypes* enumerator);
    HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* type);
    void DropPeer();

private:
    WCHAR* name_ = nullptr;
    IPin* peer_ = nullptr;
    PIN_DIRECTION direction_;
    CLock* lock_;

protected:
    // Connecting while the filter is not stopped is refused unless this is set.
    bool canReconnectWhenActive_ = false;
    // Which list NegotiateType tries first: the peer's while false.
    bool tryOwnTypesFirst_ = false;

private:
    CBaseFilter* filter_;
    IQualityControl* qualitySink_ = nullptr;
    int typeListVersion_ = 1;
    CMediaDescriptor connectionType_;
    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME segmentStop_ = 0x7FFFFFFFFFFFFFFF;
    double segmentRate_ = 1.0;
};
