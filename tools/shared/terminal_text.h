// Text from archives (names, the prompt) on a terminal: every byte shown,
// none obeyed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// `text` with each byte outside printable ASCII written as \xHH (a newline
// as \n), and the backslash and each byte of `quoted` behind a backslash:
// no control character (ESC, BEL, CR, ...) reaches the terminal raw.
std::string visible_text(const char* text, const char* quoted = "");

// A path of this system: as visible_text, but its separators shown as
// they are (on Windows the backslash, which visible_text doubles).
std::string visible_path(const char* path);

// Writes visible_text(text, quoted) to `out`.
void write_visible(FILE* out, const char* text, const char* quoted = "");

// "1 entry", "2 entries": `n` and the word that goes with it.
std::string counted(uint64_t n, const char* singular, const char* plural);
