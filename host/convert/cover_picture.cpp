#include "convert/cover_picture.h"

#include <cstdio>

#include "platform/unicode.h"
#include "platform/wmsdk.h"

namespace vantrel {
namespace {

void put_le(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void put_text(std::vector<std::uint8_t>& out, const std::string& text) {
    for (char16_t unit : unicode::Utf8ToUtf16(text, false).value_or(u""))
        put_le(out, unit, 2);
    put_le(out, 0, 2);
}

std::string reason_for(HRESULT result) {
    if (result == NS_E_FILE_OPEN_FAILED)
        return "the file cannot be opened";
    if (result == NS_E_INVALID_DATA)
        return "the file's header cannot be read";
    if (result == NS_E_FILE_WRITE)
        return "the file could not be written again (is the disk full?)";
    if (result == NS_E_TOO_MUCH_DATA)
        return "the file's header has no room for them";
    if (result == E_OUTOFMEMORY)
        return "out of memory";
    char text[64];
    std::snprintf(text, sizeof text, "the metadata editor failed (0x%08X)",
                  static_cast<unsigned>(result));
    return text;
}

// Releases a COM reference when it goes out of scope.
template <class T> struct Held {
    T* object = nullptr;
    ~Held() {
        if (object)
            object->Release();
    }
};

} // namespace

std::vector<std::uint8_t> wm_picture_value(const AttachedPicture& picture) {
    std::vector<std::uint8_t> value;
    value.reserve(picture.data.size() + 5 + 2 * (picture.mime.size() + picture.description.size()) +
                  4);
    value.push_back(static_cast<std::uint8_t>(picture.type));
    put_le(value, static_cast<std::uint32_t>(picture.data.size()), 4);
    put_text(value, picture.mime);
    put_text(value, picture.description);
    value.insert(value.end(), picture.data.begin(), picture.data.end());
    return value;
}

std::string add_to_finished_file(const std::string& path,
                                 const std::vector<AttachedPicture>& pictures,
                                 const TagList& fields) {
    const std::u16string name = unicode::Utf8ToUtf16(path, false).value_or(u"");
    Held<IWMMetadataEditor> editor;
    HRESULT result = WMCreateEditor(&editor.object);
    if (FAILED(result))
        return reason_for(result);
    result = editor.object->Open(name.c_str());
    if (FAILED(result))
        return reason_for(result);
    Held<IWMHeaderInfo3> header;
    result =
        editor.object->QueryInterface(IID_IWMHeaderInfo3, reinterpret_cast<void**>(&header.object));
    auto add = [&](const char16_t* attribute, WMT_ATTR_DATATYPE type,
                   const std::vector<std::uint8_t>& value) {
        if (FAILED(result))
            return;
        WORD index = 0;
        result = value.size() > 0xFFFFFFFFu
                     ? NS_E_TOO_MUCH_DATA
                     : header.object->AddAttribute(0, attribute, &index, type, 0, value.data(),
                                                   static_cast<DWORD>(value.size()));
    };
    for (const AttachedPicture& picture : pictures)
        add(u"WM/Picture", WMT_TYPE_BINARY, wm_picture_value(picture));
    for (const Tag& field : fields) {
        std::vector<std::uint8_t> value;
        put_text(value, field.value);
        add(unicode::Utf8ToUtf16(field.name, false).value_or(u"").c_str(), WMT_TYPE_STRING, value);
    }
    if (FAILED(result)) {
        editor.object->Close();
        return reason_for(result);
    }
    result = editor.object->Flush();
    return SUCCEEDED(result) ? "" : reason_for(result);
}

} // namespace vantrel
