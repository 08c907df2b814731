// The iunpack command on real files: the run trace, list, test and extract,
// argument errors, and archives made by the Debian archiver where present.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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

TEST_F(Tool, ListTestAndExtract) {
    std::string path = installer(two_files_and_setup());
    EXPECT_EQ(iunpack("list " + path), 0);
    std::vector<std::string> lines = lines_of(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("name"), std::string::npos);
    EXPECT_NE(lines[2].find("lib/one.dll"), std::string::npos);
    EXPECT_NE(lines[2].find("3000"), std::string::npos);

    EXPECT_EQ(iunpack("test " + path), 0);
    EXPECT_EQ(lines_of(out).back(), "3 entries, 0 failed");

    EXPECT_EQ(iunpack("extract " + path + " " + (scratch / "x")), 0);
    EXPECT_EQ(list_dir(scratch / "x"), (std::vector<std::string>{"one.dll", "setup.exe", "two.txt"}));
    EXPECT_EQ(read_file(scratch / "x/one.dll"), random_bytes(3000, 1));

    // A bare archive is read from its first byte.
    write_file(scratch / "bare.arj", two_files_and_setup());
    EXPECT_EQ(iunpack("list " + (scratch / "bare.arj")), 0);
    EXPECT_EQ(lines_of(out).size(), 4u);
}

TEST_F(Tool, FailuresArePrintedAsErrors) {
    Bytes bad = to_bytes("abc");
    HeaderFields h = stored_fields("bad.bin", bad);
    h.file_crc = 0;
    ArchiveWriter w;
    w.entry(h, bad).stored("ok.txt", to_bytes("fine"));
    std::string path = installer(w.finish());
    EXPECT_EQ(iunpack("test " + path), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: File has bad CRC !"});
    EXPECT_EQ(lines_of(out), (std::vector<std::string>{"FAILED bad.bin", "ok     ok.txt", "2 entries, 1 failed"}));

    ArchiveWriter unsafe;
    HeaderFields up = stored_fields("x", to_bytes("x"));
    up.name = "../escape";
    up.entry_name_pos = 0;
    unsafe.entry(up, to_bytes("x"));
    EXPECT_EQ(iunpack("extract " + installer(unsafe.finish()) + " " + (scratch / "y")), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: Create file error !"});
    EXPECT_FALSE(exists(scratch / "escape"));

    EXPECT_EQ(iunpack("list " + (scratch / "missing.exe")), 1);
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: Open archive file error !"});
    write_file(scratch / "short.exe", Bytes(100, 'M'));
    EXPECT_EQ(iunpack("list " + (scratch / "short.exe")), 1);
    EXPECT_EQ(lines_of(err).back(), "error: Invalid header of archive !");
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
    EXPECT_TRUE(lines_of(out).back().ends_with("  " + shown)) << out;
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
    EXPECT_EQ(lines_of(err), (std::vector<std::string>{"error: Create file error !",
                                                       "error: " + dir + "/setup.exe is a symbolic link: extract never "
                                                       "replaces a file nor writes through a link"}));
    EXPECT_FALSE(exists(scratch / "outside.txt"));

    unlink((dir + "/setup.exe").c_str());
    write_file(dir + "/one.dll", to_bytes("mine"));
    EXPECT_EQ(iunpack("extract " + path + " " + dir), 1);
    EXPECT_EQ(lines_of(err).back(), "error: " + dir + "/one.dll exists already: extract never replaces a file nor "
                                    "writes through a link");
    EXPECT_EQ(read_file(dir + "/one.dll"), to_bytes("mine"));
}

TEST_F(Tool, BadArguments) {
    const char* bad[] = {"", "frobnicate", "run", "run a b", "run a --answer maybe", "run a --answer",
                         "run a --setup", "run a --bogus", "list", "list a b", "extract a"};
    for (const char* arguments : bad) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(iunpack(arguments), 2);
        EXPECT_NE(err.find("iunpack --help"), std::string::npos);
    }
    EXPECT_EQ(iunpack("--help"), 0);
    for (const char* command : {"run FILE", "list FILE", "test FILE", "extract FILE DIR", "pack [--stub", "verify INSTALLER"})
        EXPECT_NE(out.find(command), std::string::npos) << command;
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
