#include "diskwriter/tag_names.h"

namespace {

struct FieldMapping {
    const char* field;
    const char* attribute;
};

// Tested in this order; the first match wins.
constexpr FieldMapping kFieldMappings[] = {
    {"artist", "Author"},
    {"genre", "WM/Genre"},
    {"album", "WM/AlbumTitle"},
    {"lyrics", "WM/Lyrics"},
    {"year", "WM/Year"},
    {"date", "WM/Year"},
    {"TrackNumber", "WM/TrackNumber"},
    {"TrackNo", "WM/TrackNumber"},
};

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

bool EqualsIgnoringAsciiCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return a == b;
    for (;; ++a, ++b) {
        const unsigned char left = FoldAscii(static_cast<unsigned char>(*a));
        const unsigned char right = FoldAscii(static_cast<unsigned char>(*b));
        if (left != right)
            return false;
        if (left == '\0')
            return true;
    }
}

const char* AttributeNameForField(const char* name) {
    for (const FieldMapping& mapping : kFieldMappings) {
        if (EqualsIgnoringAsciiCase(name, mapping.field))
            return mapping.attribute;
    }
    return name;
}
