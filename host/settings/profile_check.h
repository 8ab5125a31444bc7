// Whether the platform's Windows Media writer can encode with a profile, asked
// the way the encoder itself will: the profile manager reads the text and the
// writer filter is configured with the result.
#pragma once

#include <string>

namespace vantrel {

// Empty when the profile can encode; otherwise why not, in words.
std::string profile_problem(const std::string& profile_text);

} // namespace vantrel
