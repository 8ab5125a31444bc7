// The platform's own words for its last failure on this thread (its error
// object), read once: the codes of the result-code table say what kind of
// failure it was, this says which file, limit or setting it was about.
#pragma once

#include <string>

// Clears the thread's error object, so that a later failure is not explained
// by an older one.
void ForgetPlatformReason();

// The text of the thread's error object, empty when there is none; the object
// is cleared.
std::string TakePlatformReason();
