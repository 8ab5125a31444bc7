#include "errors/result_code_table.h"

const ResultCodeRow ResultCodeTable[kResultCodeCount + 1] = {
    {MakeResult(0xC00D07F7), "ASF_E_ALREADYINITIALIZED",
     "This object has already been initialized; the setting cannot be changed."},
    {MakeResult(0xC00D0802), "ASF_E_BADDATADESCRIPTOR",
     "One or more data descriptors are not properly set."},
    {MakeResult(0xC00D080D), "ASF_E_BADDATAUNIT",
     "The given data unit is corrupted, badly formatted, or otherwise not valid."},
    {MakeResult(0xC00D0803), "ASF_E_BADINDEXINTERVAL",
     "The index has an invalid time interval (probably zero)."},
    {MakeResult(0xC00D07D2), "ASF_E_BADLANGUAGEID", "The language ID was not found."},
    {MakeResult(0xC00D0807), "ASF_E_BADMEDIATYPE",
     "The specified media type does not work with this component."},
    {MakeResult(0xC00D07D0), "ASF_E_BUFFEROVERRUN",
     "An attempt was made to seek or position past the end of a buffer."},
    {MakeResult(0xC00D07D1), "ASF_E_BUFFERTOOSMALL",
     "The supplied input or output buffer was too small."},
    {MakeResult(0xC00D080C), "ASF_E_EXCEEDEDMAXIMUMOBJECTSIZE",
     "The object has exceeded its maximum size."},
    {MakeResult(0xC00D080E), "ASF_E_HEADERSIZE",
     "The ASF header has exceeded the specified maximum size."},
    {MakeResult(0xC00D080A), "ASF_E_INDEXBLOCKUNLOADED",
     "The index entries for the specified index block have been unloaded from memory and are "
     "not available."},
    {MakeResult(0xC00D0801), "ASF_E_INVALIDFLAGS",
     "The flags for this object or set of objects have not been properly set."},
    {MakeResult(0xC00D07E2), "ASF_E_INVALIDHEADER",
     "The ASF file header does not contain enough information."},
    {MakeResult(0xC00D0805), "ASF_E_INVALIDINDEX", "The given index value is not valid."},
    {MakeResult(0xC00D07F8), "ASF_E_INVALIDINIT",
     "This object has not been initialized properly; that operation cannot be performed."},
    {MakeResult(0xC00D07F5), "ASF_E_INVALIDSTATE",
     "The request is not valid in the object's current state."},
    {MakeResult(0xC00D0804), "ASF_E_INVALIDTIME", "The given time value is not valid."},
    {MakeResult(0xC00D07E6), "ASF_E_NOCLOCKOBJECT",
     "The object does not have a valid clock object."},
    {MakeResult(0xC00D07FA), "ASF_E_NODATAOBJECT", "The ASF Data object could not be found."},
    {MakeResult(0xC00D07FD), "ASF_E_NOFILEPROPS", "The File Properties object could not be found."},
    {MakeResult(0xC00D07F9), "ASF_E_NOHEADEROBJECT", "The ASF Header object could not be found."},
    {MakeResult(0xC00D07FB), "ASF_E_NOINDEXOBJECT", "The ASF Index object could not be found."},
    {MakeResult(0xC00D07F6), "ASF_E_NOLIBRARY",
     "This object does not have a valid library pointer; it was not properly created or it has "
     "been shut down."},
    {MakeResult(0xC00D07DB), "ASF_E_NOPAYLOADLENGTH",
     "The multiple payload packet is missing the payload length."},
    {MakeResult(0xC00D07FC), "ASF_E_NOSTREAMPROPS",
     "A Stream Properties object with the correct stream number could not be found."},
    {MakeResult(0xC00D080B), "ASF_E_NOTENOUGHBANDWIDTH",
     "The specified bandwidth is not large enough."},
    {MakeResult(0xC00D0809), "ASF_E_NOTENOUGHDESCRIPTORS",
     "The specified data unit requires a larger number of descriptors before it can be fully "
     "parsed."},
    {MakeResult(0xC00D07F0), "ASF_E_NOTFOUND", "The object was not found."},
    {MakeResult(0xC00D07F3), "ASF_E_OBJECTTOOBIG",
     "The object is too large to be processed in the requested manner."},
    {MakeResult(0xC00D07ED), "ASF_E_OPAQUEPACKET",
     "An attempt was made to restore or access an opaque packet."},
    {MakeResult(0xC00D07EF), "ASF_E_OVERFLOW",
     "An attempt was made to store a value which was larger than the destination's maximum "
     "value."},
    {MakeResult(0xC00D07DE), "ASF_E_PACKETCONTENTTOOLARGE", "The packet content is too large."},
    {MakeResult(0xC00D0806), "ASF_E_STREAMNUMBERINUSE",
     "The specified stream number is already in use."},
    {MakeResult(0xC00D07DC), "ASF_E_TOOMANYPAYLOADS", "The packet contains too many payloads."},
    {MakeResult(0xC00D07F4), "ASF_E_UNEXPECTEDVALUE", "A value was not set as expected."},
    {MakeResult(0xC00D07EB), "ASF_E_UNKNOWNCLOCKTYPE",
     "An unknown clock type was specified for the stream clock type."},
    {MakeResult(0xC00D07E0), "ASF_E_UNKNOWNPACKETSIZE",
     "Expecting a fixed packet size but minimum and maximum are not equal."},
    {MakeResult(0xC00D0808), "ASF_E_WRITEFAILED", "The object could not be written as specified."},
    {MakeResult(0xC00D07EE), "ASF_E_WRONGVERSION", "The wrong ASF version is being used."},
    {MakeResult(0x80004005), "E_FAIL", "Unspecified error."},
    {MakeResult(0x80070057), "E_INVALIDARG", "Invalid argument sent to a function."},
    {MakeResult(0x80004001), "E_NOTIMPL", "Function is not yet implemented."},
    {MakeResult(0x8007000E), "E_OUTOFMEMORY", "Not enough memory to complete the task."},
    {MakeResult(0x80004003), "E_POINTER", "Invalid pointer."},
    {MakeResult(0x8000FFFF), "E_UNEXPECTED", "Unspecified error."},
    {MakeResult(0xC00D0025), "NS_E_BUSY", "The requested resource is in use."},
    {MakeResult(0xC00D001D), "NS_E_FILE_OPEN_FAILED", "Failed to open a file."},
    {MakeResult(0xC00D0018), "NS_E_FILE_WRITE", "Error writing to a file."},
    {MakeResult(0xC00D002F), "NS_E_INVALID_DATA", "Invalid or corrupt data was encountered."},
    {MakeResult(0xC00D0BBB), "NS_E_INVALID_OUTPUT_FORMAT", "The output media format is invalid."},
    {MakeResult(0xC00D002B), "NS_E_INVALID_REQUEST",
     "The request is not valid in the current state."},
    {MakeResult(0xC00D0BC6), "NS_E_INVALIDPROFILE", "The profile is not valid."},
    {MakeResult(0xC00D0BCF), "NS_E_NO_MORE_SAMPLES",
     "There are no more samples in the current range."},
    {MakeResult(0xC00D1B5E), "NS_E_NOMATCHING_ELEMENT",
     "No matching element is found in the list."},
    {MakeResult(0xC00D0BBC), "NS_E_NOT_CONFIGURED",
     "The object must be fully configured before audio samples can be processed."},
    {MakeResult(0xC00D002E), "NS_E_LATE_OPERATION", ""},
    {MakeResult(0xC00D0BCC), "NS_E_TOO_MUCH_DATA", ""},
    {MakeResult(0xC00D0BD5), "NS_E_INVALID_NUM_PASSES", ""},
    {0, nullptr, nullptr},
};

bool LookupResultCode(HRESULT code, std::string* text) {
    if (text == nullptr)
        return false;
    for (const ResultCodeRow* row = ResultCodeTable; row->name != nullptr; ++row) {
        if (row->code == code) {
            text->assign(row->name);
            text->append(" - ");
            text->append(row->description);
            return true;
        }
    }
    return false;
}
