// iunpack pack, run as the tool: the layout it writes, what it refuses and
// that a refusal leaves nothing behind, and that the other commands accept
// what it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/archive_writer.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"

namespace {

struct Entry {
    std::string name;
    std::string content;
    uint16_t name_pos = 0;
    uint8_t min_version = 1;
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t file_type = 0;
};

// A bare archive of entries holding their content as stored data.
Bytes archive(const std::vector<Entry>& entries) {
    ArchiveWriter w;
    for (const Entry& e : entries) {
        HeaderFields h = stored_fields(e.name, to_bytes(e.content));
        h.entry_name_pos = e.name_pos;
        h.min_version = e.min_version;
        h.flags = e.flags;
        h.method = e.method;
        h.file_type = e.file_type;
        w.entry(h, to_bytes(e.content));
    }
    return w.finish();
}

Bytes zeros(size_t n) { return Bytes(n, 0); }
Bytes slice(const Bytes& b, size_t at, size_t n) { return Bytes(b.begin() + at, b.begin() + at + n); }
Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Entry> GOOD = {{"setup.exe", "MZ setup"}, {"data/readme.txt", "hello", 5}};

class Pack : public testing::Test {
protected:
    void SetUp() override {
        write("stub.exe", pe_stub());
        write("good.arj", archive(GOOD));
    }

    std::string path(const std::string& name) { return dir / name; }
    void write(const std::string& name, const Bytes& bytes) { write_file(path(name), bytes); }
    void write(const std::string& name, const std::string& text) { write_file(path(name), to_bytes(text)); }
    Bytes read(const std::string& name) { return read_file(path(name)); }
    // Runs the tool; returns its exit status, its output and errors in `out`.
    int tool(const std::string& args, const std::string& env = "") { return run_iunpack(args, &out, nullptr, env); }
    int pack(const std::string& archive_name, const std::string& more = "") {
        return tool("pack --stub " + path("stub.exe") + " " + more + " " + path(archive_name) + " -o " +
                    path("out.exe"));
    }
    // Only the inputs remain: no output, no temporary file.
    void remove_file(const std::string& name) { ::remove(path(name).c_str()); }
    void expect_nothing_written() {
        for (const std::string& name : list_dir(dir.path))
            EXPECT_TRUE(name == "stub.exe" || name.ends_with(".arj") || name.ends_with(".txt")) << name;
    }

    ScratchDir dir;
    std::string out;
};

TEST_F(Pack, WritesStubPaddingPromptFieldAndArchive) {
    ASSERT_EQ(pack("good.arj", "--prompt 'Install it?'"), 0) << out;
    Bytes installer = read("out.exe");
    Bytes stub = pe_stub();
    ASSERT_EQ(installer.size(), 49152 + 200 + read("good.arj").size());
    EXPECT_EQ(slice(installer, 0, stub.size()), stub);
    EXPECT_EQ(slice(installer, stub.size(), 49152 - stub.size()), zeros(49152 - stub.size()));
    EXPECT_EQ(slice(installer, 49152, 200), concat(to_bytes("Install it?"), zeros(200 - 11)));
    EXPECT_EQ(slice(installer, 49352, installer.size() - 49352), read("good.arj"));
    struct stat st;
    ASSERT_EQ(stat(path("out.exe").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(Pack, OtherCommandsAcceptWhatItWrites) {
    ASSERT_EQ(pack("good.arj"), 0) << out;
    EXPECT_EQ(slice(read("out.exe"), 49152, 200), zeros(200));
    ASSERT_EQ(tool("list " + path("out.exe")), 0) << out;
    EXPECT_NE(out.find("data/readme.txt"), std::string::npos) << out;
    ASSERT_EQ(tool("test " + path("out.exe")), 0) << out;
    ASSERT_EQ(tool("extract " + path("out.exe") + " " + path("x")), 0) << out;
    EXPECT_EQ(read("x/readme.txt"), to_bytes("hello"));
    EXPECT_EQ(read("x/setup.exe"), to_bytes("MZ setup"));
    std::string tmp = path("tmp") + "/";
    make_dir(tmp);
    EXPECT_EQ(tool("run " + path("out.exe") + " --answer yes --setup 'test -f readme.txt || exit 9'", "TMPDIR=" + tmp), 0)
        << out;
    EXPECT_NE(out.find("setup-exit 0"), std::string::npos) << out;
    EXPECT_TRUE(list_dir(tmp).empty());
}

TEST_F(Pack, PromptOf199BytesFitsAndLongerIsRefusedNotCut) {
    ASSERT_EQ(pack("good.arj", "--prompt " + std::string(199, 'q')), 0) << out;
    EXPECT_EQ(slice(read("out.exe"), 49152, 200), concat(to_bytes(std::string(199, 'q')), zeros(1)));
    remove_file("out.exe");
    EXPECT_EQ(pack("good.arj", "--prompt " + std::string(200, 'q')), 1);
    EXPECT_NE(out.find("at most 199"), std::string::npos) << out;
    EXPECT_EQ(pack("good.arj", "--force --prompt " + std::string(200, 'q')), 1);
    expect_nothing_written();
}

TEST_F(Pack, PromptFileLosesOnlyItsFinalLineBreak) {
    write("prompt.txt", "Line one\nLine two?\r\n");
    ASSERT_EQ(pack("good.arj", "--prompt-file " + path("prompt.txt")), 0) << out;
    EXPECT_EQ(slice(read("out.exe"), 49152, 20), concat(to_bytes("Line one\nLine two?"), zeros(2)));
    EXPECT_EQ(pack("good.arj", "--prompt x --prompt-file " + path("prompt.txt")), 2);
}

TEST_F(Pack, RefusesAStubThatDoesNotFitOrIsNoExecutable) {
    write("stub.exe", pe_stub(49153));
    EXPECT_EQ(pack("good.arj"), 1);
    EXPECT_NE(out.find("larger than the 49152"), std::string::npos) << out;
    EXPECT_EQ(pack("good.arj", "--force"), 1);
    expect_nothing_written();

    write("stub.exe", pe_stub(49152));
    EXPECT_EQ(pack("good.arj"), 0) << out;
    remove_file("out.exe");

    write("stub.exe", Bytes(1000, 'M'));
    EXPECT_EQ(pack("good.arj"), 1);
    EXPECT_NE(out.find("not a PE executable"), std::string::npos) << out;
    expect_nothing_written();
    EXPECT_EQ(pack("good.arj", "--force"), 0) << out;
    EXPECT_NE(out.find("warning"), std::string::npos) << out;
}

TEST_F(Pack, RefusesAnArchiveWithoutAValidMainHeader) {
    // The header identifier makes an INPUT an archive; what follows must be
    // a main header the launcher reads.
    write("garbage.arj", "\x60\xea not an archive at all");
    EXPECT_EQ(pack("garbage.arj"), 1);
    EXPECT_NE(out.find("valid archive main header"), std::string::npos) << out;
    Bytes bad = archive(GOOD);
    bad[10] ^= 1;  // inside the main header: its CRC no longer matches
    write("badcrc.arj", bad);
    EXPECT_EQ(pack("badcrc.arj", "--force"), 1);
    EXPECT_NE(out.find("Invalid header CRC"), std::string::npos) << out;
    // An installer is no archive: it would be one file, and there is no setup.exe.
    ASSERT_EQ(pack("good.arj"), 0);
    ASSERT_EQ(rename(path("out.exe").c_str(), path("installer.arj").c_str()), 0);
    EXPECT_EQ(pack("installer.arj"), 1);
    EXPECT_NE(out.find("no entry named setup.exe"), std::string::npos) << out;
    remove_file("installer.arj");
    expect_nothing_written();
}

// --force never packs what the launcher would refuse.
TEST_F(Pack, RefusesEntriesTheLauncherWouldRefuseEvenWhenForced) {
    struct Case {
        Entry entry;
        const char* message;
    } cases[] = {
        {{"a.bin", "x", 0, 1, 0, 5}, "Unknown compress method"},
        {{"a.bin", "x", 0, 1, 1}, "File is passworded"},
        {{"a.bin", "x", 0, 4}, "Unsupported version"},
        {{"a.bin", "x", 0, 1, 0, 0, 3}, "Invalid file type"},
        {{"dir/../x", "x", 4}, "not one plain file name"},
        {{"CON.txt", "x"}, "not one plain file name"},
        {{std::string(240, 'n'), "x"}, "longer than 239"},
        {{"disk2/SETUP.EXE", "t", 6}, "a second file of that name (compared without regard to case"},
        {{"evilsetup.exe", "x", 4}, "has its name offset 4 inside a name component"},
    };
    for (const Case& c : cases) {
        write("bad.arj", archive({{"setup.exe", "s"}, c.entry}));
        EXPECT_EQ(pack("bad.arj", "--force"), 1) << c.message;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        expect_nothing_written();
    }
    write("ok.arj", archive({{"setup.exe", "s"}, {std::string(239, 'n'), "x"}}));
    EXPECT_EQ(pack("ok.arj"), 0) << out;
}

TEST_F(Pack, NeedsSetupExeAfterTheEntryPathInAnyCase) {
    write("none.arj", archive({{"install.exe", "s"}, {"setup.exe/readme", "r", 10}}));
    EXPECT_EQ(pack("none.arj"), 1);
    EXPECT_NE(out.find("no entry named setup.exe"), std::string::npos) << out;
    expect_nothing_written();
    EXPECT_EQ(pack("none.arj", "--force"), 0) << out;
    remove_file("out.exe");

    write("upper.arj", archive({{"disk1/SETUP.EXE", "s", 6}}));
    EXPECT_EQ(pack("upper.arj"), 0) << out;
}

// Names or prompts whose bytes above 127 change with the code page are
// refused unless forced, with the reason.
TEST_F(Pack, RefusesBytesAbove127UnlessForced) {
    struct Case {
        std::vector<Entry> entries;
        std::string prompt;
        const char* message;
    } cases[] = {
        {{{"setup.exe", "s"}, {"caf\xe9.txt", "x"}}, "", "bytes above 127, which show as different characters"},
        {GOOD, "Install \xabit\xbb?", "the prompt holds bytes above 127"},
    };
    for (const Case& c : cases) {
        write("bad.arj", archive(c.entries));
        write("prompt.txt", c.prompt);
        std::string prompt = c.prompt.empty() ? "" : "--prompt-file " + path("prompt.txt");
        EXPECT_EQ(pack("bad.arj", prompt), 1) << c.message;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        expect_nothing_written();
        EXPECT_EQ(pack("bad.arj", prompt + " --force"), 0) << out;
        EXPECT_NE(out.find("warning"), std::string::npos) << out;
        remove_file("out.exe");
    }
}

// What is checked is what is written: a FIFO that gives a good archive on
// the first open and another on the second cannot slip the second in.
TEST_F(Pack, ReadsTheArchiveOnce) {
    std::string fifo = path("fifo.arj");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Bytes evil = archive({{"setup.exe", "EVIL"}});
    write("evil.bin", evil);
    // The pause lets the first reader see the end of the first archive.
    std::string feed = "(cat " + path("good.arj") + " > " + fifo + "; sleep 1; cat " + path("evil.bin") + " > " + fifo +
                       ") &";
    std::string drain = "; status=$?; timeout 10 cat " + fifo + " > /dev/null; wait; exit $status";
    std::string err;
    ASSERT_EQ(run_iunpack("pack --stub " + path("stub.exe") + " " + fifo + " -o " + path("out.exe") + drain, &out, &err, feed), 0)
        << out << err;
    Bytes installer = read("out.exe");
    EXPECT_EQ(slice(installer, 49352, installer.size() - 49352), read("good.arj"));
}

// Interrupted while it waits for its archive, by any signal that ends a
// process (from the terminal, the session or a closed pipe), pack leaves no
// temporary installer behind.
TEST_F(Pack, InterruptionRemovesTheTemporaryInstaller) {
    std::string fifo = path("fifo.arj");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<const char*, int> signals[] = {{"INT", 2}, {"TERM", 15}, {"HUP", 1}, {"PIPE", 13}, {"QUIT", 3}};
    for (auto [signal_name, number] : signals) {
        // The tool in the background; its exit status once the signal came.
        std::string wait_and_signal = " & pid=$!; for i in $(seq 200); do ls " + path("out.exe") +
                                      ".* >/dev/null 2>&1 && break; sleep 0.05; done; kill -" + signal_name +
                                      " $pid; wait $pid; echo $?";
        std::string err;
        ASSERT_EQ(run_iunpack("pack --stub " + path("stub.exe") + " " + fifo + " -o " + path("out.exe") + wait_and_signal,
                              &out, &err),
                  0);
        EXPECT_EQ(out, std::to_string(128 + number) + "\n") << signal_name;
        expect_nothing_written();
    }
}

TEST_F(Pack, FailureLeavesAnExistingTargetAlone) {
    write("out.exe", "previous installer");
    write("none.arj", archive({{"readme.txt", "r"}}));
    EXPECT_EQ(pack("none.arj"), 1);
    EXPECT_EQ(read("out.exe"), to_bytes("previous installer"));
    EXPECT_EQ(tool("pack --stub " + path("stub.exe") + " " + path("good.arj") + " -o " + path("no/such/dir.exe")),
              1);
    EXPECT_NE(out.find("cannot create"), std::string::npos) << out;

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer needs more address space than the limit
    // An archive INPUT larger than the memory pack may use: a message, and
    // neither an abort nor a temporary file.
    write("huge.arj", Bytes{0x60, 0xEA});
    ASSERT_EQ(truncate(path("huge.arj").c_str(), off_t(1) << 28), 0);
    EXPECT_EQ(tool("pack --stub " + path("stub.exe") + " " + path("huge.arj") + " -o " + path("out.exe"),
                   "ulimit -v 131072;"),
              1);
    EXPECT_NE(out.find("out of memory"), std::string::npos) << out;
    EXPECT_EQ(read("out.exe"), to_bytes("previous installer"));
    for (const std::string& name : list_dir(dir.path)) EXPECT_FALSE(name.starts_with("out.exe.")) << name;
#endif
}

}  // namespace
