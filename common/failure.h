// The failure-message call: every failure is shown where it is detected, in a
// modal box with the OK button alone and the system's caption; in a quiet
// run, as a line on standard error.
#pragma once

inline constexpr const char CAPTION[] = "Installation Unpacker";
inline constexpr const char QUESTION_CAPTION[] = "Installation";

// Owned by the host window (none while it does not exist yet).
void show_failure(const char* text);
// With no owner.
void show_failure_unowned(const char* text);
