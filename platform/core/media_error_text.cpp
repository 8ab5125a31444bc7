// English texts for the media framework's result codes.
#include "platform/dshow.h"

#include <cstring>

namespace {

struct ErrorText {
    HRESULT code;
    const char* text;
};

const ErrorText kErrorTexts[] = {
    {VFW_S_STATE_INTERMEDIATE, "The state change has not finished yet."},
    {VFW_E_INVALIDMEDIATYPE, "The media type is not valid."},
    {VFW_E_INVALIDSUBTYPE, "The media subtype is not valid."},
    {VFW_E_NEED_OWNER, "This object can only be used inside an aggregate."},
    {VFW_E_ENUM_OUT_OF_SYNC,
     "The enumerated collection changed; the enumerator no longer matches it."},
    {VFW_E_ALREADY_CONNECTED, "At least one of the pins is already connected."},
    {VFW_E_FILTER_ACTIVE, "The operation is not possible while the filter is running or paused."},
    {VFW_E_NO_TYPES, "Neither pin offers any media type."},
    {VFW_E_NO_ACCEPTABLE_TYPES, "The pins share no media type both of them accept."},
    {VFW_E_INVALID_DIRECTION, "The two pins have the same direction."},
    {VFW_E_NOT_CONNECTED, "The operation cannot be performed because the pins are not connected."},
    {VFW_E_NO_ALLOCATOR, "No sample buffer allocator is available."},
    {VFW_E_RUNTIME_ERROR, "A run-time error occurred."},
    {VFW_E_BUFFER_NOTSET, "No buffer space has been set."},
    {VFW_E_BUFFER_OVERFLOW, "The buffer is too small for the data."},
    {VFW_E_BADALIGN, "The buffer alignment is not valid."},
    {VFW_E_ALREADY_COMMITTED, "The allocator cannot be changed after it has been committed."},
    {VFW_E_BUFFERS_OUTSTANDING, "One or more buffers are still in use."},
    {VFW_E_NOT_COMMITTED, "The allocator is not committed, so it cannot hand out samples."},
    {VFW_E_SIZENOTSET, "The allocator's buffer sizes have not been set."},
    {VFW_E_NO_CLOCK, "No reference clock has been set, so the clock cannot be locked."},
    {VFW_E_NOT_FOUND, "The object or name was not found."},
    {VFW_E_CANNOT_CONNECT, "No combination of media types could connect the pins."},
    {VFW_E_NOT_STOPPED, "The operation is only possible while the filter is stopped."},
    {VFW_E_WRONG_STATE, "The operation is not possible in the object's current state."},
    {VFW_E_TYPE_NOT_ACCEPTED, "The media type is not accepted."},
    {VFW_E_SAMPLE_REJECTED, "The sample was rejected because the filter is not running."},
    {VFW_E_SAMPLE_REJECTED_EOS,
     "The sample was rejected because the end of the stream has already been received."},
    {VFW_E_DUPLICATE_NAME, "A filter of that name is already in the graph."},
    {VFW_E_NOT_IN_GRAPH, "The filter is not in a filter graph."},
};

} // namespace

extern "C" DWORD AMGetErrorTextA(HRESULT code, LPSTR buffer, DWORD length) {
    if (!buffer || length == 0)
        return 0;
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code != code)
            continue;
        std::size_t count = std::strlen(entry.text);
        if (count > length - 1)
            count = length - 1;
        std::memcpy(buffer, entry.text, count);
        buffer[count] = '\0';
        return static_cast<DWORD>(count);
    }
    return 0;
}
