// The name a custom profile text gives itself, for the one-line description
// and the settings dialog.
#pragma once

#include <string>

// Looks only at the first 255 bytes: the bytes between the first "name="
// (plus the one byte after it, taken to be the opening quotation mark) and the
// next '"'. Empty when either is missing. The search is on bytes, so an
// attribute such as streamname= that comes first matches too.
std::string ExtractProfileName(const char* profileText);
