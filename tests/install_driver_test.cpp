// The installation driver end to end on the platform double: every end of
// the driver, what it shows, and what it leaves in the temporary directory;
// then a sweep that fails each platform call in turn.
#include "shell/install_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "archive/entry_extraction.h"
#include "common/command_line.h"
#include "common/failure.h"
#include "tests/support/double_fixture.h"

namespace {

class Driver : public DoubleTest {
public:
    std::string installer;  // the self-extracting file, standing in for the executable
    std::string work_dir;   // where the driver unpacks

    void SetUp() override {
        DoubleTest::SetUp();
        installer = scratch / "installer.exe";
        work_dir = scratch.path + "/iunpack_.$$$/";
        platform_double.module_path = installer;
    }
    // A fresh double for one more run in the same test.
    void rescript() {
        platform_double_reset();
        platform_double.temp_path = scratch.path + "/";
        platform_double.module_path = installer;
    }

    static Bytes standard_archive() {
        ArchiveWriter w;
        w.stored("setup.exe", to_bytes("MZ setup program"))
            .stored("data/payload.bin", random_bytes(40000, 7))
            .stored("readme.txt", to_bytes("Read me.\r\n"));
        return w.finish();
    }
    static std::vector<std::string> standard_files() {
        return {"payload.bin 40000", "readme.txt 10", "setup.exe 16"};
    }

    uint32_t run(const Bytes& archive, const std::string& prompt = "") {
        write_file(installer, self_extracting(archive, prompt));
        return install_driver(nullptr);
    }

    // What every end has in common: the destroy message is the last call,
    // and nothing the run obtained is still held (but a block whose release
    // was the failed call).
    void expect_clean_end() {
        EXPECT_TRUE(platform_double.destroy_sent);
        ASSERT_FALSE(platform_double.calls.empty());
        EXPECT_EQ(platform_double.calls.back(), "SendMessageA");
        EXPECT_EQ(platform_double.calls_after_destroy, 0u);
        EXPECT_EQ(platform_double.open_files, 0);
        if (platform_double.injected != "GlobalHandle" && platform_double.injected != "GlobalFree") {
            EXPECT_EQ(platform_double.heap_blocks, 0);
        }
        EXPECT_EQ(platform_double.searches, 0);
        EXPECT_EQ(platform_double.processes, 0);
        EXPECT_EQ(platform_double.tokens, 0);
    }
    bool work_dir_exists() const { return exists(work_dir); }
    size_t count_calls(const std::string& name) const {
        return size_t(std::count(platform_double.calls.begin(), platform_double.calls.end(), name));
    }
    size_t first_call(const std::string& name) const {
        auto& c = platform_double.calls;
        return size_t(std::find(c.begin(), c.end(), name) - c.begin());
    }
};

TEST_F(Driver, AnsweredYesUnpacksRunsSetupAndCleansUp) {
    EXPECT_EQ(run(standard_archive(), "Install the demo?"), 0u);
    ASSERT_EQ(platform_double.boxes.size(), 1u);
    const MessageBoxRecord& question = platform_double.boxes[0];
    EXPECT_EQ(question.text, "Install the demo?");
    EXPECT_EQ(question.caption, QUESTION_CAPTION);
    EXPECT_EQ(question.owner, nullptr);
    EXPECT_EQ(question.style, 0x10004u);

    ASSERT_EQ(platform_double.launches.size(), 1u);
    const LaunchRecord& launch = platform_double.launches[0];
    EXPECT_EQ(launch.application, work_dir + "setup.exe");
    EXPECT_EQ(launch.command, work_dir + "setup.exe -i");
    EXPECT_EQ(launch.directory, work_dir);
    EXPECT_EQ(launch.files_seen, standard_files());

    EXPECT_EQ(platform_double.show_commands, (std::vector<int>{SW_SHOW, SW_HIDE}));
    EXPECT_LT(first_call("SetForegroundWindow"), first_call("ShowWindow"));
    EXPECT_FALSE(work_dir_exists());
    EXPECT_FALSE(platform_double.restart_requested);
    expect_clean_end();
}

TEST_F(Driver, EmptyPromptAsksNothing) {
    EXPECT_EQ(run(standard_archive()), 0u);
    EXPECT_TRUE(platform_double.boxes.empty());
    EXPECT_EQ(platform_double.launches.size(), 1u);
    expect_clean_end();
}

TEST_F(Driver, AnsweredNoUnpacksNothingAndRemovesTheDirectory) {
    platform_double.answer = IDNO;
    EXPECT_EQ(run(standard_archive(), "Go?"), DRIVER_DECLINED);
    EXPECT_EQ(platform_double.boxes.size(), 1u);
    EXPECT_TRUE(platform_double.launches.empty());
    EXPECT_TRUE(platform_double.show_commands.empty());
    EXPECT_EQ(count_calls("fopen"), 1u);  // the archive alone
    EXPECT_FALSE(work_dir_exists());
    expect_clean_end();
}

TEST_F(Driver, SetupExitCode1234RequestsTheRestartAfterCleaningUp) {
    platform_double.setup_exit_code = RESTART_EXIT_CODE;
    EXPECT_EQ(run(standard_archive()), RESTART_EXIT_CODE);
    EXPECT_TRUE(platform_double.privilege_enabled);
    EXPECT_TRUE(platform_double.restart_requested);
    EXPECT_FALSE(work_dir_exists());
    auto& c = platform_double.calls;
    size_t removed = size_t(std::find(c.rbegin(), c.rend(), "RemoveDirectoryA").base() - c.begin()) - 1;
    EXPECT_LT(removed, first_call("LookupPrivilegeValueA"));
    EXPECT_LT(first_call("AdjustTokenPrivileges"), first_call("ExitWindowsEx"));
    expect_clean_end();
}

TEST_F(Driver, OtherExitCodesRequestNothing) {
    for (uint32_t code : {0u, 1u, 1233u, 1235u, 0x100004D2u}) {
        rescript();
        platform_double.setup_exit_code = code;
        EXPECT_EQ(run(standard_archive()), code);  // setup's own exit code
        EXPECT_FALSE(platform_double.restart_requested) << code;
        EXPECT_EQ(count_calls("LookupPrivilegeValueA"), 0u);
    }
}

TEST_F(Driver, RestartIsRequestedEvenWithoutAToken) {
    platform_double.setup_exit_code = RESTART_EXIT_CODE;
    platform_double.fail_only = "OpenProcessToken";
    platform_double.fail_at = 2;  // the first is the elevation query
    EXPECT_EQ(run(standard_archive()), RESTART_EXIT_CODE);
    EXPECT_FALSE(platform_double.privilege_enabled);
    EXPECT_TRUE(platform_double.restart_requested);
    expect_clean_end();
}

TEST_F(Driver, MissingSetupShowsTheCommandPaddedTo200Characters) {
    ArchiveWriter w;
    w.stored("readme.txt", to_bytes("no setup here"));
    EXPECT_EQ(run(w.finish()), DRIVER_SETUP_NOT_STARTED);
    std::string command = work_dir + "setup.exe -i";
    std::string expected = "Can't run " + std::string(200 - command.size(), ' ') + command + ", code 2";
    EXPECT_EQ(messages(), Texts{expected});
    EXPECT_EQ(platform_double.boxes[0].owner, &window);
    EXPECT_EQ(platform_double.launches[0].files_seen, (std::vector<std::string>{"readme.txt 13"}));
    EXPECT_FALSE(work_dir_exists());
    EXPECT_FALSE(platform_double.restart_requested);
    expect_clean_end();
}

TEST_F(Driver, LargeErrorCodesAreShownUnsigned) {
    platform_double.setup_starts = false;
    platform_double.launch_error = 0xFFFFFFFFu;
    EXPECT_EQ(run(standard_archive()), DRIVER_SETUP_NOT_STARTED);
    ASSERT_EQ(platform_double.boxes.size(), 1u);
    EXPECT_NE(platform_double.boxes[0].text.find(", code 4294967295"), std::string::npos);
}

// What follows the launcher's program name reaches setup after "-i", byte
// for byte. The command is never cut; one longer than the system takes is
// a setup that cannot start, and only the message shortens it.
TEST_F(Driver, LauncherArgumentsReachSetup) {
    size_t room = SETUP_COMMAND_MAX - 1 - (work_dir + "setup.exe -i ").size();
    struct Case {
        std::string line;       // the launcher's command line
        std::string arguments;  // what setup gets after "-i "
        uint32_t result;
    };
    const Case cases[] = {
        {"installer.exe", "", 0},
        {"\"C:\\My Files\\installer.exe\"  /x /D=\"C:\\My Dir\"", "/x /D=\"C:\\My Dir\"", 0},
        {"installer.exe\t\ta\tb ", "a\tb ", 0},
        {"installer.exe " + std::string(room, 'a'), std::string(room, 'a'), 0},
        {"installer.exe " + std::string(room + 1, 'a'), "", DRIVER_SETUP_NOT_STARTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        rescript();
        read_launch_options(c.line.c_str());
        EXPECT_EQ(run(standard_archive()), c.result);
        if (c.result == DRIVER_SETUP_NOT_STARTED) {
            EXPECT_TRUE(platform_double.launches.empty());
            ASSERT_EQ(platform_double.boxes.size(), 1u);
            const std::string& text = platform_double.boxes[0].text;
            EXPECT_EQ(text.size(), 10 + COMMAND_DISPLAY_MAX + 10);  // "Can't run ", the command cut, ", code 206"
            EXPECT_EQ(text.substr(text.size() - 20), "aaaaaaaaaa, code 206");
        } else {
            ASSERT_EQ(platform_double.launches.size(), 1u);
            std::string expected = work_dir + "setup.exe -i" + (c.arguments.empty() ? "" : " " + c.arguments);
            EXPECT_EQ(platform_double.launches[0].command, expected);
        }
        expect_clean_end();
    }
}

// A quiet run: no question, no window, no box; its texts on standard
// error; setup's 1234 leaves the restart to whoever started the run; and
// a setup that needs elevation cannot be consented to.
TEST_F(Driver, QuietRuns) {
    struct Case {
        const char* why;
        uint32_t setup_exit_code;
        bool needs_elevation;
        bool archive_has_setup;
        uint32_t result;
        const char* line;  // the text on standard error, from its start
    };
    const Case cases[] = {
        {"installs", 0, false, true, 0, nullptr},
        {"restart", RESTART_EXIT_CODE, false, true, DRIVER_RESTART_REQUIRED, nullptr},
        {"needs elevation", 0, true, true, ERROR_ELEVATION_REQUIRED, "Can't run "},
        {"no setup", 0, false, false, DRIVER_SETUP_NOT_STARTED, "Can't run "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        rescript();
        read_launch_options("installer.exe /S /D=x");
        platform_double.setup_exit_code = c.setup_exit_code;
        platform_double.needs_elevation = c.needs_elevation;
        ArchiveWriter w;
        w.stored(c.archive_has_setup ? "setup.exe" : "readme.txt", to_bytes("MZ"));
        EXPECT_EQ(run(w.finish(), "Install?"), c.result);
        EXPECT_TRUE(platform_double.boxes.empty());
        EXPECT_TRUE(platform_double.show_commands.empty());
        EXPECT_FALSE(platform_double.restart_requested);
        for (const LaunchRecord& launch : platform_double.launches) {
            EXPECT_FALSE(launch.through_shell);
            EXPECT_EQ(launch.command, work_dir + "setup.exe -i /S /D=x");
        }
        if (c.line) {
            ASSERT_EQ(platform_double.error_lines.size(), 1u);
            EXPECT_EQ(platform_double.error_lines[0].find(c.line), 0u);
            EXPECT_NE(platform_double.error_lines[0].find("code " + std::to_string(c.needs_elevation ? 740 : 2)),
                      std::string::npos);
        } else {
            EXPECT_TRUE(platform_double.error_lines.empty());
        }
        EXPECT_FALSE(work_dir_exists());
        expect_clean_end();
    }
}

// The ends of the driver before anything is unpacked.
TEST_F(Driver, EarlyEnds) {
    struct Case {
        const char* why;
        void (*script)(Driver&);
        uint32_t result;
        Texts shown;
    };
    const Case cases[] = {
        {"no temporary path",
         [](Driver&) {
             platform_double.fail_only = "GetTempPathA";
             platform_double.fail_at = 1;
         },
         269, {MSG_TEMP_PATH}},
        {"temporary path of 231 characters",
         [](Driver& t) { platform_double.temp_path = t.scratch.path + "/" + std::string(230 - t.scratch.path.size(), 't') + "/"; },
         269, {MSG_TEMP_PATH}},
        {"temporary path longer than the buffer",
         [](Driver&) { platform_double.temp_path = "/" + std::string(300, 'p') + "/"; }, 269, {MSG_TEMP_PATH}},
        {"directory cannot be created",
         [](Driver&) {
             platform_double.fail_only = "CreateDirectoryA";
             platform_double.fail_at = 1;
         },
         270, {MSG_TEMP_DIR}},
        {"no module path",
         [](Driver&) {
             platform_double.fail_only = "GetModuleFileNameA";
             platform_double.fail_at = 1;
         },
         270, {MSG_MODULE_PATH}},
        {"module path truncated",
         [](Driver&) { platform_double.module_path = "/" + std::string(300, 'm'); }, 270, {MSG_MODULE_PATH}},
        {"executable cannot be opened",
         [](Driver& t) { platform_double.module_path = t.scratch / "missing.exe"; }, 1, {MSG_OPEN_ARCHIVE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        rescript();
        c.script(*this);
        EXPECT_EQ(run(standard_archive()), c.result);
        EXPECT_EQ(messages(), c.shown);
        for (const MessageBoxRecord& box : platform_double.boxes) {
            EXPECT_EQ(box.owner, &window);
            EXPECT_EQ(box.caption, CAPTION);
            EXPECT_EQ(box.style, MB_OK);
        }
        EXPECT_FALSE(work_dir_exists());
        EXPECT_TRUE(platform_double.launches.empty());
        expect_clean_end();
    }
}

TEST_F(Driver, TemporaryPathOf230CharactersIsAccepted) {
    std::string temp = scratch.path + "/" + std::string(230 - scratch.path.size() - 2, 't') + "/";
    ASSERT_EQ(temp.size(), 230u);
    make_dir(temp);
    platform_double.temp_path = temp;
    work_dir = temp + "iunpack_.$$$/";
    EXPECT_EQ(run(standard_archive()), 0u);
    ASSERT_EQ(platform_double.launches.size(), 1u);
    EXPECT_EQ(platform_double.launches[0].command.size(), 255u);
    EXPECT_EQ(platform_double.launches[0].files_seen, standard_files());
    EXPECT_FALSE(work_dir_exists());
}

TEST_F(Driver, LeftoversOfAnEarlierRunAreRemovedFirst) {
    make_dir(work_dir);
    write_file(work_dir + "old.txt", to_bytes("stale"));
    EXPECT_EQ(run(standard_archive()), 0u);
    EXPECT_EQ(platform_double.launches[0].files_seen, standard_files());
    EXPECT_FALSE(work_dir_exists());
}

TEST_F(Driver, LeftoverThatCannotBeDeletedStopsTheRun) {
    make_dir(work_dir);
    make_dir(work_dir + "subdir");
    EXPECT_EQ(run(standard_archive()), 270u);
    EXPECT_EQ(messages(), Texts{MSG_TEMP_DIR});
    EXPECT_TRUE(exists(work_dir + "subdir"));
    expect_clean_end();
}

// The working directory's name lies in a folder that other processes of
// the user can write. A link planted there (a symbolic link, which the
// double shows as Win32 shows a directory junction) is removed as a link,
// before the run and when it was swapped in while setup ran: the target's
// files survive.
TEST_F(Driver, LinkAtTheWorkingDirectoryIsRemovedNeverFollowed) {
    std::string victim = scratch / "victim";
    make_dir(victim);
    write_file(victim + "/precious.txt", to_bytes("keep"));
    std::string link = work_dir.substr(0, work_dir.size() - 1);
    auto plant_link = [&] { ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0); };
    struct stat st;

    plant_link();
    EXPECT_EQ(run(standard_archive()), 0u);
    ASSERT_EQ(platform_double.launches.size(), 1u);
    EXPECT_EQ(platform_double.launches[0].files_seen, standard_files());  // made afresh
    EXPECT_EQ(list_dir(victim), Texts{"precious.txt"});
    EXPECT_NE(lstat(link.c_str(), &st), 0);

    rescript();
    platform_double.setup_action = [&](const std::string&) {
        ASSERT_EQ(rename(link.c_str(), (scratch / "moved").c_str()), 0);
        plant_link();
    };
    EXPECT_EQ(run(standard_archive()), 0u);
    EXPECT_EQ(list_dir(victim), Texts{"precious.txt"});
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    expect_clean_end();
}

// Another process of the user swaps the working folder for a link to
// another folder just before platform call N, for every N of a run: the
// link's target never loses a file and never gains one.
TEST_F(Driver, SwapOfTheWorkingFolderBeforeAnyCallNeverReachesTheLinksTarget) {
    std::string victim = scratch / "victim";
    make_dir(victim);
    write_file(victim + "/precious.txt", to_bytes("keep"));
    write_file(victim + "/setup.exe", to_bytes("the victim's own"));
    std::string link = work_dir.substr(0, work_dir.size() - 1);
    write_file(installer, self_extracting(standard_archive(), ""));
    for (size_t n = 1;; n++) {
        SCOPED_TRACE("swapped before call " + std::to_string(n));
        rescript();
        std::string moved = scratch / ("moved" + std::to_string(n));
        platform_double.before_call = [&](size_t call) {
            if (call != n) return;
            rename(link.c_str(), moved.c_str());
            ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
        };
        install_driver(nullptr);
        EXPECT_EQ(list_dir(victim), (Texts{"precious.txt", "setup.exe"}));
        EXPECT_TRUE(read_file(victim + "/setup.exe") == to_bytes("the victim's own"));
        EXPECT_EQ(platform_double.folders, 0);
        for (const LaunchRecord& launch : platform_double.launches) EXPECT_TRUE(launch.folder_held);
        bool past_the_end = n > platform_double.calls.size();
        std::string remove = "rm -rf '" + link + "' '" + moved + "'";
        ASSERT_EQ(system(remove.c_str()), 0);
        if (past_the_end) break;
    }
}

// A setup that needs elevation (Windows refuses CreateProcessA with 740)
// is started through the shell, which asks for consent, with the same
// program, arguments and folder.
TEST_F(Driver, SetupThatNeedsElevationStartsThroughTheShell) {
    platform_double.needs_elevation = true;
    platform_double.setup_exit_code = 42;
    EXPECT_EQ(run(standard_archive()), 42u);
    ASSERT_EQ(platform_double.launches.size(), 2u);
    const LaunchRecord& shell = platform_double.launches[1];
    EXPECT_TRUE(shell.through_shell);
    EXPECT_EQ(shell.application, work_dir + "setup.exe");
    EXPECT_EQ(shell.command, "-i");
    EXPECT_EQ(shell.directory, work_dir);
    EXPECT_EQ(shell.files_seen, standard_files());
    EXPECT_TRUE(platform_double.boxes.empty());
    EXPECT_EQ(platform_double.administrators_only_dirs, 0);
    EXPECT_FALSE(work_dir_exists());
    expect_clean_end();
}

// The ends of the start through the shell: the consent refused is the
// user's choice, like a No to the question; a failed start, or one that
// gives no process to wait for, is a setup that cannot run.
TEST_F(Driver, ShellStartsThatDoNotRun) {
    struct Case {
        const char* why;
        uint32_t shell_error;
        bool no_handle;
        uint32_t result;
        const char* code_shown;
    };
    const Case cases[] = {
        {"consent refused", ERROR_CANCELLED, false, DRIVER_DECLINED, nullptr},
        {"shell cannot start it", 1155, false, DRIVER_SETUP_NOT_STARTED, ", code 1155"},
        {"no process handle", 0, true, DRIVER_SETUP_NOT_STARTED, ", code 6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        rescript();
        platform_double.needs_elevation = true;
        platform_double.shell_error = c.shell_error;
        platform_double.shell_gives_no_handle = c.no_handle;
        EXPECT_EQ(run(standard_archive()), c.result);
        if (c.code_shown) {
            ASSERT_EQ(platform_double.boxes.size(), 1u);
            EXPECT_EQ(platform_double.boxes[0].text.find("Can't run "), 0u);
            EXPECT_NE(platform_double.boxes[0].text.find(c.code_shown), std::string::npos);
        } else {
            EXPECT_TRUE(platform_double.boxes.empty());
        }
        EXPECT_FALSE(platform_double.restart_requested);
        EXPECT_FALSE(work_dir_exists());
        expect_clean_end();
    }
}

// An elevated launcher makes the folder for the Administrators alone, and
// starts setup itself.
TEST_F(Driver, ElevatedLauncherMakesTheFolderForAdministratorsAlone) {
    platform_double.elevated = true;
    platform_double.needs_elevation = true;
    EXPECT_EQ(run(standard_archive()), 0u);
    EXPECT_EQ(platform_double.administrators_only_dirs, 1);
    ASSERT_EQ(platform_double.launches.size(), 1u);
    EXPECT_FALSE(platform_double.launches[0].through_shell);
    expect_clean_end();
}

TEST_F(Driver, MainHeaderThatCannotBeReadEndsWith2) {
    struct Case {
        const char* why;
        Bytes archive;
        Texts shown;
    };
    const Case cases[] = {
        {"end marker first", {0x60, 0xEA, 0, 0}, {MSG_INVALID_ARCHIVE}},
        {"bad identifier", {'P', 'K', 3, 4}, {MSG_HEADER_ID, MSG_INVALID_ARCHIVE}},
        {"nothing after the prompt field", {}, {MSG_READ_ARCHIVE, MSG_INVALID_ARCHIVE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        rescript();
        EXPECT_EQ(run(c.archive), 2u);
        EXPECT_EQ(messages(), c.shown);
        EXPECT_FALSE(work_dir_exists());
        EXPECT_EQ(platform_double.show_commands, std::vector<int>{SW_SHOW});
        expect_clean_end();
    }
}

TEST_F(Driver, FailingEntryRemovesEverythingAndNeverRunsSetup) {
    Bytes bad = random_bytes(1000, 2);
    HeaderFields h = stored_fields("broken.bin", bad);
    h.file_crc ^= 1;
    ArchiveWriter w;
    w.stored("setup.exe", to_bytes("MZ")).stored("good.bin", to_bytes("good")).entry(h, bad).stored("late.txt", {});
    EXPECT_EQ(run(w.finish()), 3u);
    EXPECT_EQ(messages(), Texts{MSG_BAD_CRC});
    EXPECT_TRUE(platform_double.launches.empty());
    EXPECT_FALSE(work_dir_exists());
    EXPECT_EQ(platform_double.show_commands, std::vector<int>{SW_SHOW});  // stays shown
    expect_clean_end();
}

TEST_F(Driver, HeaderErrorInsideTheLoopIsAnEntryFailure) {
    struct Case {
        const char* why;
        Bytes tail;
        const char* shown;
    };
    HeaderFields corrupt = stored_fields("x", {});
    corrupt.corrupt_crc = true;
    const Case cases[] = {
        {"archive ends without its end marker", {}, MSG_READ_ARCHIVE},
        {"bad identifier", {'X', 'X', 0, 0}, MSG_HEADER_ID},
        {"bad header CRC", header_bytes(corrupt), MSG_HEADER_CRC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        rescript();
        ArchiveWriter w;
        w.stored("setup.exe", to_bytes("MZ")).raw(c.tail);
        write_file(installer, self_extracting(w.bytes));  // no end marker
        EXPECT_EQ(install_driver(nullptr), 3u);
        EXPECT_EQ(messages(), Texts{c.shown});
        EXPECT_TRUE(platform_double.launches.empty());
        EXPECT_FALSE(work_dir_exists());
        expect_clean_end();
    }
}

// A 32-bit process cannot get one block as large as a big stored entry: the
// copy must go in bounded blocks.
TEST_F(Driver, StoredEntryManyBlocksLargeInstallsWithinOneBlockOfMemory) {
    Bytes media = random_bytes(9 * STORED_BLOCK_SIZE + 123, 11);
    ArchiveWriter w;
    w.stored("setup.exe", to_bytes("MZ setup program")).stored("media.bin", media).stored("after.txt", to_bytes("x"));
    Bytes unpacked;
    platform_double.setup_action = [&](const std::string& directory) { unpacked = read_file(directory + "media.bin"); };
    platform_double.heap_limit = STORED_BLOCK_SIZE;
    EXPECT_EQ(run(w.finish()), 0u);
    EXPECT_TRUE(platform_double.boxes.empty());
    EXPECT_TRUE(unpacked == media);
    EXPECT_EQ(platform_double.launches.at(0).files_seen.size(), 3u);
    EXPECT_LE(platform_double.heap_peak, size_t(STORED_BLOCK_SIZE));
    expect_clean_end();
}

TEST_F(Driver, ShortFileOffersOnlyTheBytesItHolds) {
    Bytes file = self_extracting({}, "");
    file.resize(49152);
    for (char ch : std::string("Proceed?")) file.push_back(uint8_t(ch));
    write_file(installer, file);
    EXPECT_EQ(install_driver(nullptr), 2u);
    ASSERT_FALSE(platform_double.boxes.empty());
    EXPECT_EQ(platform_double.boxes[0].text, "Proceed?");
}

TEST_F(Driver, PromptFieldWithoutATerminatorIsShownWhole) {
    EXPECT_EQ(run(standard_archive(), std::string(200, 'q')), 0u);
    EXPECT_EQ(platform_double.boxes[0].text, std::string(200, 'q'));
}

// Fails platform call 1, 2, 3, ... of a whole run until a run injects
// nothing. Each run must still end cleanly: one destroy message last,
// nothing held, the working directory gone unless its removal was the call
// that failed, and setup only ever started with every file in place.
// A quiet run shows no box on any of these paths: its texts go to standard
// error.
void sweep(Driver& t, const Bytes& archive, const std::string& prompt, uint32_t exit_code, bool quiet = false) {
    write_file(t.installer, self_extracting(archive, prompt));
    for (uint64_t n = 1;; n++) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        t.rescript();
        read_launch_options(quiet ? "installer.exe /S" : "installer.exe");
        platform_double.setup_exit_code = exit_code;
        platform_double.fail_at = n;
        uint32_t result = install_driver(nullptr);
        const std::string injected = platform_double.injected;
        SCOPED_TRACE("in " + injected);

        // The result is the exit code, carried by the destroy message:
        // setup's own when it ran (0 when its code could not be read; 3010
        // for 1234 in a quiet run), else 1602 for a question not answered
        // Yes, or a failure that was shown.
        bool setup_ran = !platform_double.launches.empty() && injected != "CreateProcessA";
        const std::vector<std::string> shown = quiet ? platform_double.error_lines : t.messages();
        if (quiet) {
            EXPECT_TRUE(platform_double.boxes.empty());
            EXPECT_TRUE(platform_double.show_commands.empty());
        }
        if (setup_ran) {
            uint32_t expected = quiet && exit_code == RESTART_EXIT_CODE ? DRIVER_RESTART_REQUIRED : exit_code;
            EXPECT_EQ(result, injected == "GetExitCodeProcess" ? 0u : expected);
        } else if (result == DRIVER_DECLINED) {
            EXPECT_EQ(injected, "MessageBoxA");
        } else {
            EXPECT_TRUE(result == 1 || result == 2 || result == 3 || result == 5 || result == 269 || result == 270);
            EXPECT_FALSE(shown.empty());
        }
        EXPECT_EQ(platform_double.destroy_code, result);
        t.expect_clean_end();
        for (const LaunchRecord& launch : platform_double.launches)
            EXPECT_EQ(launch.files_seen, Driver::standard_files());
        // A failure is shown once, where it is detected.
        for (size_t i = 1; i < shown.size(); i++) EXPECT_NE(shown[i], shown[i - 1]);
        bool cleanup_failed = injected == "DeleteFileA" || injected == "RemoveDirectoryA" ||
                              injected == "FindFirstFileA" || injected == "FindNextFileA" ||
                              injected == "GetFileAttributesA";
        if (!cleanup_failed) {
            EXPECT_FALSE(t.work_dir_exists());
        }

        if (injected.empty()) {
            EXPECT_EQ(result, quiet && exit_code == RESTART_EXIT_CODE ? DRIVER_RESTART_REQUIRED : exit_code);
            EXPECT_EQ(platform_double.launches.size(), 1u);
            EXPECT_GT(n, 40u);  // every call of the run was failed once
            break;
        }
        std::string remove = "rm -rf '" + t.work_dir + "'";
        ASSERT_EQ(system(remove.c_str()), 0);
    }
}

TEST_F(Driver, FaultSweepOverAWholeInstallation) {
    sweep(*this, standard_archive(), "Install?", RESTART_EXIT_CODE);
}

TEST_F(Driver, FaultSweepWithoutAQuestion) { sweep(*this, standard_archive(), "", 0); }

TEST_F(Driver, FaultSweepOfAQuietRun) { sweep(*this, standard_archive(), "Install?", RESTART_EXIT_CODE, true); }

}  // namespace
