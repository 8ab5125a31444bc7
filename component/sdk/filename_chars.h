// Character classes of file names and paths.
#pragma once

// '/', ':', '\\' and '|' separate path parts (the last also archive parts).
bool is_path_separator(char c);
// Characters a file name may not contain: '"' '*' '/' ':' '<' '>' '?' '\\' '|'.
bool is_bad_filename_char(char c);
bool contains_bad_filename_chars(const char* text);
