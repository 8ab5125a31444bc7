// Helpers for the 16-bit wide text of names and identifiers.
#pragma once

#include "platform/win32_types.h"

// Characters before the terminating zero.
int WideLength(const WCHAR* text);

// A new[] copy of the text with its terminator, or null when the text is null
// or memory runs out.
WCHAR* DuplicateWide(const WCHAR* text);

// Copies at most capacity - 1 characters and always terminates the destination
// (capacity 0 writes nothing).
void CopyWideBounded(WCHAR* destination, const WCHAR* source, int capacity);

// The value as signed decimal text, cut to fit capacity characters with the terminator.
void IntToWide(int value, WCHAR* destination, int capacity = 32);

// printf-style formatting of a wide format through the narrow formatter. The
// destination must hold the result; output longer than 255 characters is cut.
// Answers the characters written, without the terminator.
int FormatWide(WCHAR* destination, const WCHAR* format, ...);

// The decimal integer at the start of the text, as the C library reads it
// (leading blanks, an optional sign); text that is not a number reads as 0.
long ParseWideInteger(const WCHAR* text);
