// The wide-character curses library, with the macros that clash with C++
// names removed.
#pragma once

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <ncursesw/curses.h>

#undef timeout
#undef erase
#undef clear
#undef move
#undef refresh
