// The launcher's command line as Windows programs read theirs: what is
// passed on to setup, the arguments, the quiet switches; and iunpack run's
// quoting, which must give every word back.
#include "common/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tools/run/windows_command_line.h"

namespace {

std::vector<std::string> arguments_of(const char* tail) {
    std::vector<std::string> words;
    std::string word(strlen(tail) + 1, '\0');
    size_t length = 0;
    while (next_argument(&tail, word.data(), word.size(), &length)) words.push_back(word.substr(0, length));
    return words;
}

TEST(CommandLine, TailArgumentsAndQuiet) {
    struct Case {
        const char* line;
        const char* tail;                 // passed on to setup byte for byte
        std::vector<std::string> words;   // as the program splits them
        bool quiet;
    };
    const Case cases[] = {
        {"installer.exe", "", {}, false},
        {"\"C:\\My Files\\installer.exe\" /S", "/S", {"/S"}, true},
        {"\"C:\\a b\\i.exe\"/S  x", "/S  x", {"/S", "x"}, true},
        {"installer.exe\t \t/quiet", "/quiet", {"/quiet"}, true},
        {"i.exe /D=\"C:\\My Dir\" /x", "/D=\"C:\\My Dir\" /x", {"/D=C:\\My Dir", "/x"}, false},
        {"i.exe a\\\\\\\"b \"c\\\\\" d\\e", "a\\\\\\\"b \"c\\\\\" d\\e", {"a\\\"b", "c\\", "d\\e"}, false},
        {"i.exe \"\" x \"a\"\"b\"", "\"\" x \"a\"\"b\"", {"", "x", "a\"b"}, false},
        {"i.exe -VERYSILENT", "-VERYSILENT", {"-VERYSILENT"}, true},
        {"i.exe \"/s\"", "\"/s\"", {"/s"}, true},
        {"i.exe /Silent -qn", "/Silent -qn", {"/Silent", "-qn"}, true},
        {"i.exe /silently /S2 S / -", "/silently /S2 S / -", {"/silently", "/S2", "S", "/", "-"}, false},
        {"i.exe \"/S x\"", "\"/S x\"", {"/S x"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        read_launch_options(c.line);
        EXPECT_STREQ(launch.arguments, c.tail);
        EXPECT_EQ(launch.quiet, c.quiet);
        EXPECT_EQ(arguments_of(launch.arguments), c.words);
    }
    read_launch_options("");
}

// A long argument is measured whole, though only part of it is kept.
TEST(CommandLine, LongArgumentIsMeasuredWhole) {
    std::string line = "/S" + std::string(100, 'x') + " \"/quiet\"";
    const char* cursor = line.c_str();
    char word[8];
    size_t length = 0;
    ASSERT_TRUE(next_argument(&cursor, word, sizeof word, &length));
    EXPECT_EQ(length, 102u);
    EXPECT_STREQ(word, "/Sxxxxx");
    ASSERT_TRUE(next_argument(&cursor, word, sizeof word, &length));
    EXPECT_STREQ(word, "/quiet");
    read_launch_options(("i.exe " + line).c_str());
    EXPECT_TRUE(launch.quiet);
    read_launch_options("");
}

// Whatever the words (quotes, backslashes, blanks, none at all), iunpack
// run's command line splits back into them.
TEST(CommandLine, QuotedWordsSplitBackIntoThemselves) {
    std::mt19937 random(7);
    const char alphabet[] = "ab \t\"\\/-";
    const std::string program = "C:\\dir with blanks\\setup.exe";
    for (int round = 0; round < 2000; round++) {
        std::vector<std::string> words(random() % 5);
        for (std::string& word : words)
            for (size_t n = random() % 8; n > 0; n--) word += alphabet[random() % (sizeof alphabet - 1)];
        std::vector<std::string> line_words = {program};
        for (const std::string& word : words) line_words.push_back(word);
        std::string line = windows_command_line(line_words);
        EXPECT_EQ(arguments_of(command_line_tail(line.c_str())), words) << line;
    }
}

}  // namespace
