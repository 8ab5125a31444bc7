#include "filters/wide_text.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/win32_api.h"

namespace {
constexpr int kFormatBufferSize = 256;
constexpr int kIntegerBufferSize = 32;
} // namespace

int WideLength(const WCHAR* text) {
    int length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

WCHAR* DuplicateWide(const WCHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const int length = WideLength(text);
    auto* copy = new (std::nothrow) WCHAR[length + 1];
    if (copy != nullptr) {
        std::memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    }
    return copy;
}

void CopyWideBounded(WCHAR* destination, const WCHAR* source, int capacity) {
    if (capacity <= 0) {
        return;
    }
    int left = capacity;
    while (left > 1) {
        WCHAR c = *source++;
        *destination++ = c;
        --left;
        if (c == 0) {
            return;
        }
    }
    *destination = 0;
}

void IntToWide(int value, WCHAR* destination, int capacity) {
    if (capacity <= 0) {
        return;
    }
    char narrow[kIntegerBufferSize];
    int length = std::snprintf(narrow, sizeof narrow, "%d", value);
    if (length < 0 || length >= capacity) {
        // The digits do not fit: never write past the caller's buffer.
        destination[0] = 0;
        return;
    }
    if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, destination, capacity) == 0) {
        destination[0] = 0;
    }
}

int FormatWide(WCHAR* destination, const WCHAR* format, ...) {
    char narrowFormat[kFormatBufferSize];
    if (WideCharToMultiByte(CP_ACP, 0, format, -1, narrowFormat, kFormatBufferSize, nullptr,
                            nullptr) == 0) {
        destination[0] = 0;
        return 0;
    }
    char formatted[kFormatBufferSize];
    va_list arguments;
    va_start(arguments, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int count = std::vsnprintf(formatted, sizeof formatted, narrowFormat, arguments);
#pragma GCC diagnostic pop
    va_end(arguments);
    if (count < 0) {
        destination[0] = 0;
        return 0;
    }
    // Count only what the buffer kept, so the conversion never reads past it.
    if (count > kFormatBufferSize - 1) {
        count = kFormatBufferSize - 1;
    }
    if (MultiByteToWideChar(CP_ACP, 0, formatted, -1, destination, count + 1) == 0) {
        destination[0] = 0;
        return 0;
    }
    return count;
}

long ParseWideInteger(const WCHAR* text) {
    if (text == nullptr) {
        return 0;
    }
    while (*text == u' ' || (*text >= u'\t' && *text <= u'\r')) {
        ++text;
    }
    bool negative = false;
    if (*text == u'+' || *text == u'-') {
        negative = *text == u'-';
        ++text;
    }
    // Accumulated as a negative number so that LONG_MIN fits; out of range saturates.
    long value = 0;
    bool saturated = false;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        long digit = *text - u'0';
        if (value < (LONG_MIN + digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated) {
        return negative ? LONG_MIN : LONG_MAX;
    }
    if (negative) {
        return value;
    }
    return value == LONG_MIN ? LONG_MAX : -value;
}
