// A source filter for graph tests built on the platform's filter base: one
// output pin that connects with the type the source proposes, takes the input
// pin's allocator with the buffers the source asks for, and runs the source's
// Work() on a thread of its own while the filter is paused or running.
#pragma once

#include "media/input_filter_base.h"

#include <memory>

namespace test_support {

class PushSource : public media::FilterBase {
public:
    IPin* Output();

protected:
    explicit PushSource(REFCLSID classId);
    ~PushSource() override;

    // The type offered to the input pin; `requested` is the type Connect was
    // given, or null.
    virtual HRESULT OutputType(const AM_MEDIA_TYPE* requested, AM_MEDIA_TYPE* type) = 0;
    // The buffers asked of the allocator; fewer or smaller ones fail the connection.
    virtual ALLOCATOR_PROPERTIES Buffers() const = 0;
    // Called when the filter leaves the stopped state, before the worker starts.
    virtual void WorkerStarting() {}
    // The worker. The allocator is decommitted when the filter stops, so
    // GetBuffer fails from then on and Stopping() is true soon after.
    virtual void Work() = 0;

    // For Work: the connection's allocator and the input pin's sample transport.
    bool Stopping() const;
    IMemAllocator* Allocator() const;
    IMemInputPin* Downstream() const;
    HRESULT DeliverEndOfStream();

private:
    class OutputPin;
    std::unique_ptr<OutputPin> pin_;
};

} // namespace test_support
