// Writing a Windows command line: the words joined so that a program
// splitting its command line by CommandLineToArgvW's rules (as
// common/command_line.h reads it) gets each word back as it was.
#pragma once

#include <string>
#include <vector>

// `word` quoted where it needs it: empty, or holding blanks or quotes.
std::string quote_windows_argument(const std::string& word);
// The words quoted and joined by single spaces.
std::string windows_command_line(const std::vector<std::string>& words);
