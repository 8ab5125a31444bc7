// Whether the platform's writer can encode with a custom profile text, asked
// as the encoding chain will ask: the profile loader reads the text and the
// writer filter is configured with the profile.
#pragma once

#include <string>

class WMAPresetLoader;

// Empty when the profile can be used; otherwise why not, in words.
std::string CustomProfileProblem(const WMAPresetLoader& loader, const char* utf8Text);
