// Which Windows Media header attribute a host metadata field is written as.
#pragma once

// Whether two texts are equal when only the ASCII letters A to Z are taken
// without regard to case; every other byte must match exactly.
bool EqualsIgnoringAsciiCase(const char* a, const char* b);

// The attribute name for the host field `name`: "Author" for artist,
// "WM/Genre", "WM/AlbumTitle", "WM/Lyrics", "WM/Year" (year and date) and
// "WM/TrackNumber" (TrackNumber and TrackNo), in any case of their letters;
// any other name is answered unchanged.
const char* AttributeNameForField(const char* name);
