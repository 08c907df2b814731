// Whether pack's progress line can be drawn: standard error is a terminal
// that takes its carriage return and line-clearing sequence (ESC [ K).
// error_terminal_posix.cpp and error_terminal_win32.cpp implement it.
#pragma once

bool error_output_is_terminal();

// Writes `text`, which may hold that sequence, to standard error and
// flushes it. Contract: error_output_is_terminal() said true.
void write_terminal_text(const char* text);
