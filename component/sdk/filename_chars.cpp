#include "sdk/filename_chars.h"

#include <cstring>

bool is_path_separator(char c) {
    return c == '/' || c == ':' || c == '\\' || c == '|';
}

bool is_bad_filename_char(char c) {
    return c != 0 && std::strchr("\"*/:<>?\\|", c) != nullptr;
}

bool contains_bad_filename_chars(const char* text) {
    if (text == nullptr) {
        return false;
    }
    for (; *text != 0; ++text) {
        if (is_bad_filename_char(*text)) {
            return true;
        }
    }
    return false;
}
