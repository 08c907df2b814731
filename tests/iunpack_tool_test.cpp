// The iunpack command on real files: the run trace, list, test and extract,
// argument errors, and archives made by the Debian archiver where present.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/support/archive_writer.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"

namespace {

class Tool : public ::testing::Test {
public:
    ScratchDir scratch;
    std::string out, err;

    std::string tmp() const { return scratch / "tmp"; }
    std::string work_dir() const { return tmp() + "/iunpack_.$$$/"; }
    void SetUp() override { make_dir(tmp()); }

    int iunpack(const std::string& arguments) { return run_iunpack(arguments, &out, &err, "TMPDIR='" + tmp() + "'"); }
    std::string installer(const Bytes& archive, const std::string& prompt = "") {
        std::string path = scratch / "installer.exe";
        write_file(path, self_extracting(archive, prompt));
        return path;
    }
    static Bytes two_files_and_setup() {
        ArchiveWriter w;
        w.stored("setup.exe", to_bytes("MZ")).stored("lib/one.dll", random_bytes(3000, 1)).stored("two.txt", to_bytes("2"));
        return w.finish();
    }
};

TEST_F(Tool, RunAnsweredYesTracesEveryVisibleEffect) {
    std::string saw = scratch / "saw.txt";
    std::string setup = "'ls > \"" + saw + "\"; pwd >> \"" + saw + "\"; echo \"$@\" >> \"" + saw + "\"'";
    EXPECT_EQ(iunpack("run " + installer(two_files_and_setup(), "Install?") + " --answer yes --setup " + setup), 0);
    std::string wd = work_dir();
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{
                                 "message-box caption=\"Installation\" owner=none style=0x00010004 text=\"Install?\"",
                                 "show-window SW_SHOW",
                                 "show-window SW_HIDE",
                                 "create-process command=\"" + wd + "setup.exe -i\" directory=\"" + wd + "\"",
                                 "setup-exit 0",
                                 "driver-result 0",
                             }));
    std::vector<std::string> seen = lines_of(read_text(saw));
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 3),
              (std::vector<std::string>{"one.dll", "setup.exe", "two.txt"}));
    EXPECT_EQ(seen[3] + "/", wd);
    EXPECT_EQ(seen[4], "-i");  // setup's arguments
    EXPECT_FALSE(exists(wd));
}

TEST_F(Tool, RunAnsweredNoOrUnansweredUnpacksNothing) {
    std::string path = installer(two_files_and_setup(), "Install?");
    for (const char* answer : {" --answer no", ""}) {
        SCOPED_TRACE(answer);
        EXPECT_EQ(iunpack("run " + path + answer), 1602 % 256);
        std::vector<std::string> lines = lines_of(err);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], "driver-result 1602");
        EXPECT_FALSE(exists(work_dir()));
    }
}

TEST_F(Tool, RunWithoutSetupShowsCantRun) {
    ArchiveWriter w;
    w.stored("readme.txt", to_bytes("hi"));
    EXPECT_EQ(iunpack("run " + installer(w.finish())), 5);
    std::vector<std::string> lines = lines_of(err);
    ASSERT_EQ(lines.size(), 5u);
    std::string command = work_dir() + "setup.exe -i";
    std::string padded = std::string(200 - command.size(), ' ') + command;
    EXPECT_EQ(lines[3], "message-box caption=\"Installation Unpacker\" owner=window style=0x00000000 text=\"Can't run " +
                            padded + ", code 2\"");
    EXPECT_FALSE(exists(work_dir()));
}

// A POSIX exit status keeps 8 bits, so 1234 itself cannot come back from a
// process here (the driver tests cover it through the double): its low byte,
// 210, must not be taken for it. Setup's exit code is the run's.
TEST_F(Tool, RunSetupExitCodeIsReportedAndOnly1234Restarts) {
    EXPECT_EQ(iunpack("run " + installer(two_files_and_setup()) + " --setup 'exit 210'"), 210);
    std::vector<std::string> lines = lines_of(err);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], "setup-exit 210");
    EXPECT_EQ(lines[4], "driver-result 210");
}

// The words after "--" are the launcher's command line: setup gets them
// after -i as its positional parameters, and /S makes the run quiet (no
// question, no window, texts as quiet-message lines, no restart).
TEST_F(Tool, RunPassesTheLaunchersArgumentsAndRunsQuietly) {
    std::string saw = scratch / "saw.txt";
    std::string setup = "'for a; do echo \"[$a]\"; done > \"" + saw + "\"; exit 210'";
    std::string path = installer(two_files_and_setup(), "Install?");
    EXPECT_EQ(iunpack("run " + path + " --answer yes --setup " + setup + " -- /x 'a \"b\" c' --answer"), 210);
    EXPECT_EQ(lines_of(read_text(saw)), (std::vector<std::string>{"[-i]", "[/x]", "[a \"b\" c]", "[--answer]"}));
    std::vector<std::string> lines = lines_of(err);
    ASSERT_EQ(lines.size(), 6u);  // the question, the window shown and hidden, setup
    EXPECT_EQ(lines[5], "driver-result 210");

    EXPECT_EQ(iunpack("run " + path + " --setup 'exit 210' -- /S 'a b'"), 210);
    std::string wd = work_dir();
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{
                                 "create-process command=\"" + wd + "setup.exe -i /S \\\"a b\\\"\" directory=\"" + wd + "\"",
                                 "setup-exit 210",
                                 "driver-result 210",
                             }));
    ArchiveWriter w;
    w.stored("readme.txt", to_bytes("no setup"));
    EXPECT_EQ(iunpack("run " + installer(w.finish()) + " -- -quiet"), 5);
    lines = lines_of(err);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].find("quiet-message text=\"Can't run "), 0u) << lines[1];
}

TEST_F(Tool, RunEntryFailingHalfwayEndsWith3) {
    Bytes bad = random_bytes(500, 4);
    HeaderFields h = stored_fields("bad.bin", bad);
    h.file_crc ^= 1;
    ArchiveWriter w;
    w.stored("setup.exe", to_bytes("MZ")).entry(h, bad).stored("after.txt", to_bytes("x"));
    EXPECT_EQ(iunpack("run " + installer(w.finish()) + " --setup true"), 3);
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{
                                 "show-window SW_SHOW",
                                 "message-box caption=\"Installation Unpacker\" owner=window style=0x00000000 "
                                 "text=\"File has bad CRC !\"",
                                 "driver-result 3",
                             }));
    EXPECT_FALSE(exists(work_dir()));
}

// A second run with the same temporary directory must not clean up the
// first one's files: the lock beside the working directory turns it away.
TEST_F(Tool, RunWhileAnotherRunHoldsTheLockSaysAlreadyRunning) {
    std::string lock = tmp() + "/iunpack_.$$$.lock";
    int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    make_dir(work_dir());
    write_file(work_dir() + "theirs.txt", to_bytes("in use"));
    std::string path = installer(two_files_and_setup());
    EXPECT_EQ(iunpack("run " + path + " --setup true"), 1618 % 256);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"message-box caption=\"Installation Unpacker\" owner=none "
                                                      "style=0x00000000 text=\"Already running !\""});
    EXPECT_EQ(iunpack("run " + path + " --setup true -- /S"), 1618 % 256);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"quiet-message text=\"Already running !\""});
    EXPECT_EQ(list_dir(work_dir()), std::vector<std::string>{"theirs.txt"});
    close(fd);
    EXPECT_EQ(iunpack("run " + path + " --setup true"), 0);
    EXPECT_EQ(lines_of(err).back(), "driver-result 0");
    EXPECT_TRUE(list_dir(tmp()).empty());  // nor is the lock file left
}

// A link planted at the working directory's name is removed as a link, and
// the directory made afresh; a directory of another user is refused with
// 270 (exit status 14) and nothing in it deleted.
TEST_F(Tool, RunNeverFollowsALinkOrEntersAnotherUsersDirectory) {
    std::string victim = scratch / "victim";
    make_dir(victim);
    write_file(victim + "/precious.txt", to_bytes("keep"));
    std::string link = tmp() + "/iunpack_.$$$";
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    std::string path = installer(two_files_and_setup());
    EXPECT_EQ(iunpack("run " + path + " --setup 'exit 7'"), 7) << err;
    EXPECT_EQ(list_dir(victim), std::vector<std::string>{"precious.txt"});
    EXPECT_TRUE(list_dir(tmp()).empty());

    if (geteuid() != 0) GTEST_SKIP() << "a directory of another user needs root to make";
    make_dir(link);
    write_file(link + "/theirs.txt", to_bytes("theirs"));
    ASSERT_EQ(chown(link.c_str(), 65534, 65534), 0);
    EXPECT_EQ(iunpack("run " + path + " --setup true"), 270 % 256);
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{
                                 "message-box caption=\"Installation Unpacker\" owner=window style=0x00000000 "
                                 "text=\"Create temporary directory error !\"",
                                 "driver-result 270",
                             }));
    EXPECT_EQ(list_dir(link), std::vector<std::string>{"theirs.txt"});
}

// Another process of the user swaps the working folder for a link to
// another folder and back (RENAME_EXCHANGE) as fast as it can, during 100
// runs: the link's target loses no file (not even those named like the
// installation's) and gains none (one.dll never appears there).
TEST_F(Tool, RunNeverReachesTheTargetOfALinkSwappedForTheFolder) {
#if defined(__SANITIZE_ADDRESS__)
    // A hundred runs of the sanitized tool take most of a minute; the
    // native preset runs them, and the driver's swap sweep runs here.
    GTEST_SKIP() << "run by the native preset";
#endif
    std::string victim = scratch / "victim";
    make_dir(victim);
    std::vector<std::string> names;
    for (int i = 0; i < 200; i++) {
        char name[16];
        snprintf(name, sizeof name, "f%d", 1000 + i);
        names.push_back(name);
    }
    names.insert(names.end(), {"setup.exe", "two.txt"});
    for (const std::string& name : names) write_file(victim + "/" + name, to_bytes("keep"));
    std::string path = installer(two_files_and_setup());
    std::string folder = work_dir().substr(0, work_dir().size() - 1), link = tmp() + "/swapped";
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            symlink(victim.c_str(), link.c_str());  // fails while a folder is there
            renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
        }
    });
    for (int run = 0; run < 100; run++) iunpack("run " + path + " --answer yes --setup true");
    stop = true;
    swapper.join();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(list_dir(victim), names);
    for (const std::string& name : names) EXPECT_TRUE(read_file(victim + "/" + name) == to_bytes("keep")) << name;
}

TEST_F(Tool, RunQuotesTextsInTheTrace) {
    EXPECT_EQ(iunpack("run " + installer(two_files_and_setup(), "Say \"yes\"\\now\nok?") + " --answer no"), 1602 % 256);
    EXPECT_EQ(lines_of(err)[0],
              "message-box caption=\"Installation\" owner=none style=0x00010004 text=\"Say \\\"yes\\\"\\\\now\\nok?\"");
}

// Entries show under the name the launcher writes, list's also under the
// stored name where that differs; list shows the question too.
TEST_F(Tool, ListTestAndExtract) {
    std::string path = installer(two_files_and_setup(), "Install \"it\"?");
    EXPECT_EQ(iunpack("list " + path), 0);
    std::vector<std::string> lines = lines_of(out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "prompt: \"Install \\\"it\\\"?\"");
    EXPECT_NE(lines[1].find("name"), std::string::npos);
    EXPECT_EQ(lines[3], "      3000       3000      0 db79a3a0  one.dll  (stored as lib/one.dll)");

    EXPECT_EQ(iunpack("test " + path), 0);
    EXPECT_EQ(lines_of(out), (std::vector<std::string>{"ok     setup.exe", "ok     one.dll", "ok     two.txt",
                                                       "3 entries, 0 failed"}));

    // Missing parent folders are made.
    EXPECT_EQ(iunpack("extract " + path + " " + (scratch / "x/y/z")), 0);
    EXPECT_EQ(list_dir(scratch / "x/y/z"), (std::vector<std::string>{"one.dll", "setup.exe", "two.txt"}));
    EXPECT_EQ(read_file(scratch / "x/y/z/one.dll"), random_bytes(3000, 1));

    // A bare archive is read from its first byte, and has no prompt field.
    ArchiveWriter one;
    write_file(scratch / "bare.arj", one.stored("setup.exe", to_bytes("MZ")).finish());
    EXPECT_EQ(iunpack("list " + (scratch / "bare.arj")), 0);
    EXPECT_EQ(lines_of(out).size(), 2u);
    EXPECT_EQ(iunpack("test " + (scratch / "bare.arj")), 0);
    EXPECT_EQ(lines_of(out).back(), "1 entry, 0 failed");
}

TEST_F(Tool, FailuresArePrintedAsErrors) {
    Bytes bad = to_bytes("abc");
    HeaderFields h = stored_fields("bad.bin", bad);
    h.file_crc = 0;
    ArchiveWriter w;
    w.entry(h, bad).stored("ok.txt", to_bytes("fine"));
    std::string path = installer(w.finish());
    EXPECT_EQ(iunpack("test " + path), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: " + path + ": entry bad.bin: File has bad CRC !"});
    EXPECT_EQ(lines_of(out), (std::vector<std::string>{"FAILED bad.bin", "ok     ok.txt", "2 entries, 1 failed"}));
    // extract leaves no file of an entry that failed, and says so.
    EXPECT_EQ(iunpack("extract " + path + " " + (scratch / "x")), 1);
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{
                                 "error: " + path + ": entry bad.bin: File has bad CRC !",
                                 "note: removed " + (scratch / "x/bad.bin") + ", the file of the entry that failed"}));
    EXPECT_TRUE(list_dir(scratch / "x").empty());

    ArchiveWriter unsafe;
    HeaderFields up = stored_fields("x", to_bytes("x"));
    up.name = "../escape";
    up.entry_name_pos = 0;
    unsafe.entry(up, to_bytes("x"));
    EXPECT_EQ(iunpack("extract " + installer(unsafe.finish()) + " " + (scratch / "y")), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: " + path + ": entry ../escape: Create file error ! (the "
                                                      "launcher refuses this name: it is no plain Windows file name)"});
    EXPECT_FALSE(exists(scratch / "escape"));
}

// Names and the question reach the terminal with every control byte
// escaped: an archive cannot retitle, clear or recolour the author's
// terminal through list, test, extract or run's trace.
TEST_F(Tool, ControlCharactersAreShownEscaped) {
    HeaderFields h = stored_fields("x", to_bytes("x"));
    h.name = "a\x1b[2J\rb\x07.txt";
    ArchiveWriter w;
    w.stored("setup.exe", to_bytes("MZ")).entry(h, to_bytes("x"));
    std::string path = installer(w.finish(), "Go\x1b]0;owned\x07?");
    std::string shown = "a\\x1b[2J\\x0db\\x07.txt";
    auto raw_control = [](const std::string& text) {
        for (unsigned char c : text)
            if (c < 0x20 && c != '\n') return true;
        return false;
    };
    EXPECT_EQ(iunpack("list " + path), 0);
    EXPECT_TRUE(lines_of(out).back().ends_with("  " + shown + "  (the launcher refuses this name)")) << out;
    EXPECT_EQ(iunpack("test " + path), 1);
    EXPECT_EQ(lines_of(out)[1], "FAILED " + shown);
    EXPECT_FALSE(raw_control(out + err));
    EXPECT_EQ(iunpack("run " + path + " --answer yes"), 3);  // the entry's name is refused
    EXPECT_EQ(lines_of(err)[0],
              "message-box caption=\"Installation\" owner=none style=0x00010004 text=\"Go\\x1b]0;owned\\x07?\"");
    EXPECT_FALSE(raw_control(out + err));
}

// extract creates each file itself or not at all: a link or a file already
// in DIR stays as it is, and the error names it.
TEST_F(Tool, ExtractNeverWritesThroughWhatIsInTheWay) {
    std::string path = installer(two_files_and_setup());
    std::string dir = scratch / "x";
    make_dir(dir);
    ASSERT_EQ(symlink((scratch / "outside.txt").c_str(), (dir + "/setup.exe").c_str()), 0);
    EXPECT_EQ(iunpack("extract " + path + " " + dir), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: " + path + ": entry setup.exe: " + dir + "/setup.exe is "
                                                      "a symbolic link: extract never replaces a file nor writes "
                                                      "through a link"});
    EXPECT_FALSE(exists(scratch / "outside.txt"));

    unlink((dir + "/setup.exe").c_str());
    write_file(dir + "/one.dll", to_bytes("mine"));
    EXPECT_EQ(iunpack("extract " + path + " " + dir), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: " + path + ": entry one.dll: " + dir + "/one.dll exists "
                                                      "already: extract never replaces a file nor writes through a "
                                                      "link"});
    EXPECT_EQ(read_file(dir + "/one.dll"), to_bytes("mine"));
}

// Each bad command line and input with the message it must give: usage
// errors name the command and the word at fault, with a pointer to the
// command's help (exit status 2); failures name the file or option and
// give the system's reason, in one line (exit status 1). <dir> stands for
// the scratch folder.
TEST_F(Tool, BadCommandLinesAndInputsWithTheirMessages) {
    const std::string dir = scratch.path;
    make_dir(dir + "/f");
    write_file(dir + "/f/setup.exe", to_bytes("MZ"));
    make_dir(dir + "/nosetup");
    write_file(dir + "/nosetup/readme.txt", to_bytes("r"));
    write_file(dir + "/passwd", to_bytes("root:x:0:0:root:/root:/bin/sh\n"));
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    installer(two_files_and_setup());
    // An endless writer for the FIFO, ended by the pipe closing or the timeout.
    const std::string endless_fifo = "(timeout 20 yes ><dir>/fifo 2>/dev/null &) &&";
    const std::string pack_f = "pack <dir>/f -o <dir>/o.exe";
    struct Row {
        std::string prefix;     // shell text before the binary
        std::string arguments;
        int status;
        std::string message;    // the first line on standard error
    } rows[] = {
        {"", "", 2, "iunpack: missing COMMAND"},
        {"", "frobnicate", 2, "iunpack: unknown command frobnicate"},
        {"", "list", 2, "iunpack list: list takes one FILE"},
        {"", "list a b", 2, "iunpack list: list takes one FILE"},
        {"", "list --all a", 2, "iunpack list: unknown option --all"},
        {"", "extract a", 2, "iunpack extract: extract takes FILE and DIR"},
        {"", "run", 2, "iunpack run: run takes one FILE"},
        {"", "run a b", 2, "iunpack run: run takes one FILE"},
        {"", "run a --answer maybe", 2, "iunpack run: --answer takes yes or no, not maybe"},
        {"", "run a --answer", 2, "iunpack run: --answer needs yes or no"},
        {"", "run a --setup", 2, "iunpack run: --setup needs COMMAND"},
        {"", "run a --bogus", 2, "iunpack run: unknown option --bogus"},
        {"", "run a --answer yes --answer no", 2, "iunpack run: --answer given twice"},
        {"", "run --setup true -- a --answer", 2, "iunpack run: run takes one FILE"},
        {"", "pack --methd 1 <dir>/f -o <dir>/o.exe", 2, "iunpack pack: unknown option --methd"},
        {"", pack_f + " -o <dir>/p.exe", 2, "iunpack pack: -o given twice"},
        {"", pack_f + " --force --force", 2, "iunpack pack: --force given twice"},
        {"", pack_f + " --method 2", 2, "iunpack pack: --method takes 0, 1 or 4, not 2"},
        {"", "pack <dir>/f -o", 2, "iunpack pack: -o needs INSTALLER.exe"},
        {"", "pack <dir>/f", 2, "iunpack pack: needs -o INSTALLER.exe"},
        {"", "verify <dir>/o.exe --stub win32 --stub win64", 2, "iunpack verify: --stub given twice"},
        {"", "list <dir>/missing.exe", 1, "error: cannot open <dir>/missing.exe: No such file or directory"},
        {"", "list <dir>/passwd", 1,
         "error: <dir>/passwd: neither an installer (it is shorter than 49352 bytes) nor an archive (it does not start "
         "with 60 EA)"},
        {"", "test <dir>", 1, "error: cannot read <dir>: Is a directory"},
        {"", "verify /dev/zero", 1, "error: /dev/zero is not a regular file"},
        {"mkdir <dir>/x && echo mine ><dir>/x/setup.exe &&", "extract <dir>/installer.exe <dir>/x", 1,
         "error: <dir>/installer.exe: entry setup.exe: <dir>/x/setup.exe exists already: extract never replaces a "
         "file nor writes through a link"},
        {"", "pack <dir>/nosetup -o <dir>/o.exe", 1,
         "iunpack pack: error: no entry named setup.exe (the launcher runs it) (--force packs it all the same)"},
        {"", "pack <dir>/f -o <dir>/no/such/o.exe", 1,
         "iunpack pack: error: cannot create <dir>/no/such/o.exe: No such file or directory"},
        {"", "pack /dev/zero -o <dir>/o.exe", 1,
         "iunpack pack: error: /dev/zero is neither a regular file, a folder nor an archive"},
        {"", "pack --stub /dev/zero " + pack_f.substr(5), 1,
         "iunpack pack: error: the stub /dev/zero is larger than the 49152 bytes before the prompt field"},
        {endless_fifo, "pack --stub <dir>/fifo " + pack_f.substr(5), 1,
         "iunpack pack: error: the stub <dir>/fifo is larger than the 49152 bytes before the prompt field"},
        {"", "pack --prompt-file /dev/zero " + pack_f.substr(5), 1,
         "iunpack pack: error: the prompt file /dev/zero holds more than the 199 bytes of a prompt and a final line "
         "break (it is never cut)"},
        {endless_fifo, "pack --prompt-file <dir>/fifo " + pack_f.substr(5), 1,
         "iunpack pack: error: the prompt file <dir>/fifo holds more than the 199 bytes of a prompt and a final line "
         "break (it is never cut)"},
        {"SOURCE_DATE_EPOCH=9223372036854775807", pack_f, 1,
         "iunpack pack: error: SOURCE_DATE_EPOCH is 9223372036854775807, outside the times an archive holds "
         "(315532800 to 4354819199: 1980-01-01 to 2107-12-31 UTC)"},
        {"SOURCE_DATE_EPOCH=315532799", pack_f, 1,
         "iunpack pack: error: SOURCE_DATE_EPOCH is 315532799, outside the times an archive holds (315532800 to "
         "4354819199: 1980-01-01 to 2107-12-31 UTC)"},
    };
    auto with_dir = [&](std::string text) {
        for (size_t at; (at = text.find("<dir>")) != std::string::npos;) text.replace(at, 5, dir);
        return text;
    };
    for (const Row& row : rows) {
        std::string arguments = with_dir(row.arguments);
        SCOPED_TRACE(arguments);
        EXPECT_EQ(run_iunpack(arguments, &out, &err, with_dir(row.prefix)), row.status) << err;
        std::vector<std::string> lines = lines_of(err);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], with_dir(row.message));
        if (row.status == 2) {
            // The command's own help, once the command is known.
            std::string command = row.message.starts_with("iunpack: ") ? "" : row.arguments.substr(0, row.arguments.find(' ')) + " ";
            EXPECT_EQ(lines, (std::vector<std::string>{lines[0], "Try 'iunpack " + command + "--help'."}));
        } else {
            EXPECT_EQ(lines.size(), 1u);
        }
        EXPECT_FALSE(exists(dir + "/o.exe"));
    }
    EXPECT_EQ(iunpack("--version"), 0);
    EXPECT_EQ(out, std::string("iunpack ") + IUNPACK_VERSION + "\n");
    EXPECT_EQ(iunpack("--help"), 0);
    for (const char* command : {"run FILE", "list FILE", "test FILE", "extract FILE DIR", "pack [--stub", "verify INSTALLER"})
        EXPECT_NE(out.find(command), std::string::npos) << command;
    EXPECT_EQ(iunpack("pack --help"), 0);
    EXPECT_TRUE(out.starts_with("  pack [--stub")) << out;
    EXPECT_EQ(out.find("verify INSTALLER"), std::string::npos) << out;
}

// Archives made by the Debian archiver, used as a black box.
TEST_F(Tool, StoredArchivesFromTheDebianArchiver) {
    if (run_command("command -v arj") != 0) GTEST_SKIP() << "arj is not installed";
    std::string src = scratch / "src";
    make_dir(src);
    make_dir(src + "/sub");
    write_file(src + "/empty.dat", {});
    write_file(src + "/one.bin", {0x42});
    write_file(src + "/text.txt", to_bytes("line one\nline two\r\n"));
    write_file(src + "/sub/random.bin", random_bytes(100000, 11));
    write_file(src + "/setup.exe", to_bytes("MZ not really"));
    std::string arj = scratch / "made.arj";
    ASSERT_EQ(run_command("cd '" + src + "' && arj a -m0 -r '" + arj + "' empty.dat one.bin text.txt sub/random.bin setup.exe"), 0);

    EXPECT_EQ(iunpack("list " + arj), 0);
    EXPECT_NE(out.find("sub/random.bin"), std::string::npos) << out;
    EXPECT_EQ(iunpack("test " + arj), 0) << out << err;
    EXPECT_EQ(iunpack("extract " + arj + " " + (scratch / "x")), 0) << err;
    for (const char* name : {"empty.dat", "one.bin", "text.txt", "setup.exe"})
        EXPECT_EQ(read_file(scratch / "x/" + name), read_file(src + "/" + name)) << name;
    EXPECT_EQ(read_file(scratch / "x/random.bin"), read_file(src + "/sub/random.bin"));

    // The same archive behind the stub installs through run.
    std::string saw = scratch / "saw.txt";
    std::string path = installer(read_file(arj));
    EXPECT_EQ(iunpack("run " + path + " --setup 'ls > \"" + saw + "\"'"), 0) << err;
    EXPECT_EQ(lines_of(read_text(saw)), (std::vector<std::string>{"empty.dat", "one.bin", "random.bin", "setup.exe", "text.txt"}));
}

}  // namespace
