// iunpack pack, run as the tool: the layout it writes, what it refuses and
// that a refusal leaves nothing behind, and that the other commands accept
// what it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/crc32.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = char(v);
    b[at + 1] = char(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = char(v >> (8 * i));
}
uint32_t crc(const Bytes& b) { return crc32_of(reinterpret_cast<const uint8_t*>(b.data()), b.size()); }

struct Entry {
    std::string name;
    Bytes content;
    uint16_t name_pos = 0;
    uint8_t min_version = 1;
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t file_type = 0;
};

Bytes header(const Entry& e, uint32_t compressed, uint32_t crc_value) {
    Bytes basic(30, '\0');
    basic[0] = 30;
    basic[1] = 11;
    basic[2] = char(e.min_version);
    basic[4] = char(e.flags);
    basic[5] = char(e.method);
    basic[6] = char(e.file_type);
    put32(basic, 12, compressed);
    put32(basic, 16, uint32_t(e.content.size()));
    put32(basic, 20, crc_value);
    put16(basic, 24, e.name_pos);
    basic += e.name + '\0' + '\0';
    Bytes h = "\x60\xEA  ";
    put16(h, 2, uint16_t(basic.size()));
    Bytes c(4, '\0');
    put32(c, 0, crc(basic));
    return h + basic + c + Bytes(2, '\0');
}

// A bare archive of stored entries.
Bytes archive(const std::vector<Entry>& entries) {
    Entry main{"test.arj", ""};
    main.file_type = 2;
    Bytes a = header(main, 0, 0);
    for (const Entry& e : entries) a += header(e, uint32_t(e.content.size()), crc(e.content)) + e.content;
    return a + Bytes("\x60\xEA\0\0", 4);
}

// The smallest file the PE check accepts: MZ, e_lfanew, PE signature.
Bytes pe_stub(size_t size = 512) {
    Bytes s(size, '\0');
    s[0] = 'M';
    s[1] = 'Z';
    put32(s, 0x3C, 0x80);
    s.replace(0x80, 4, Bytes("PE\0\0", 4));
    return s;
}

const std::vector<Entry> GOOD = {{"setup.exe", "MZ setup"}, {"data/readme.txt", "hello", 5}};

class Pack : public testing::Test {
protected:
    void SetUp() override {
        crc32_build_table();
        dir = fs::temp_directory_path() / ("iunpack_pack_test_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        write("stub.exe", pe_stub());
        write("good.arj", archive(GOOD));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) { return (dir / name).string(); }
    void write(const std::string& name, const Bytes& bytes) { std::ofstream(path(name), std::ios::binary) << bytes; }
    Bytes read(const std::string& name) {
        std::ifstream f(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    // Runs the tool; returns its exit status, its output in `out`.
    int tool(const std::string& args, const std::string& temp_dir = "") {
        std::string command = std::string(IUNPACK_TOOL) + " " + args + " 2>&1";
        if (!temp_dir.empty()) command = "TMPDIR=" + temp_dir + " " + command;
        FILE* p = popen(command.c_str(), "r");
        out.clear();
        char block[4096];
        size_t got;
        while ((got = fread(block, 1, sizeof block, p)) > 0) out.append(block, got);
        int status = pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int pack(const std::string& archive_name, const std::string& more = "") {
        return tool("pack --stub " + path("stub.exe") + " " + more + " " + path(archive_name) + " -o " +
                    path("out.exe"));
    }
    // Only the inputs remain: no output, no temporary file.
    void expect_nothing_written() {
        for (const auto& e : fs::directory_iterator(dir)) {
            std::string name = e.path().filename().string();
            EXPECT_TRUE(name == "stub.exe" || name.ends_with(".arj") || name.ends_with(".txt")) << name;
        }
    }

    fs::path dir;
    std::string out;
};

TEST_F(Pack, WritesStubPaddingPromptFieldAndArchive) {
    ASSERT_EQ(pack("good.arj", "--prompt 'Install it?'"), 0) << out;
    Bytes installer = read("out.exe");
    Bytes stub = pe_stub();
    ASSERT_EQ(installer.size(), 49152 + 200 + read("good.arj").size());
    EXPECT_EQ(installer.substr(0, stub.size()), stub);
    EXPECT_EQ(installer.substr(stub.size(), 49152 - stub.size()), Bytes(49152 - stub.size(), '\0'));
    EXPECT_EQ(installer.substr(49152, 200), "Install it?" + Bytes(200 - 11, '\0'));
    EXPECT_EQ(installer.substr(49352), read("good.arj"));
    EXPECT_TRUE(fs::status(path("out.exe")).permissions() != fs::perms::none);
    EXPECT_NE(fs::status(path("out.exe")).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(Pack, OtherCommandsAcceptWhatItWrites) {
    ASSERT_EQ(pack("good.arj"), 0) << out;
    EXPECT_EQ(read("out.exe").substr(49152, 200), Bytes(200, '\0'));
    ASSERT_EQ(tool("list " + path("out.exe")), 0) << out;
    EXPECT_NE(out.find("data/readme.txt"), std::string::npos) << out;
    ASSERT_EQ(tool("test " + path("out.exe")), 0) << out;
    ASSERT_EQ(tool("extract " + path("out.exe") + " " + path("x")), 0) << out;
    EXPECT_EQ(read("x/readme.txt"), "hello");
    EXPECT_EQ(read("x/setup.exe"), "MZ setup");
    std::string tmp = path("tmp") + "/";
    fs::create_directories(tmp);
    EXPECT_EQ(tool("run " + path("out.exe") + " --answer yes --setup 'test -f readme.txt || exit 9'", tmp), 0) << out;
    EXPECT_NE(out.find("setup-exit 0"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(tmp));
    fs::remove_all(path("x"));
    fs::remove_all(tmp);
}

TEST_F(Pack, PromptOf199BytesFitsAndLongerIsRefusedNotCut) {
    ASSERT_EQ(pack("good.arj", "--prompt " + std::string(199, 'q')), 0) << out;
    EXPECT_EQ(read("out.exe").substr(49152, 200), std::string(199, 'q') + '\0');
    fs::remove(path("out.exe"));
    EXPECT_EQ(pack("good.arj", "--prompt " + std::string(200, 'q')), 1);
    EXPECT_NE(out.find("at most 199"), std::string::npos) << out;
    EXPECT_EQ(pack("good.arj", "--force --prompt " + std::string(200, 'q')), 1);
    expect_nothing_written();
}

TEST_F(Pack, PromptFileLosesOnlyItsFinalLineBreak) {
    write("prompt.txt", "Line one\nLine two?\r\n");
    ASSERT_EQ(pack("good.arj", "--prompt-file " + path("prompt.txt")), 0) << out;
    EXPECT_EQ(read("out.exe").substr(49152, 20), "Line one\nLine two?" + Bytes(2, '\0'));
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
    fs::remove(path("out.exe"));

    write("stub.exe", Bytes(1000, 'M'));
    EXPECT_EQ(pack("good.arj"), 1);
    EXPECT_NE(out.find("not a PE executable"), std::string::npos) << out;
    expect_nothing_written();
    EXPECT_EQ(pack("good.arj", "--force"), 0) << out;
    EXPECT_NE(out.find("warning"), std::string::npos) << out;
}

TEST_F(Pack, RefusesWhatDoesNotBeginWithAMainHeader) {
    write("garbage.arj", "not an archive at all");
    EXPECT_EQ(pack("garbage.arj"), 1);
    EXPECT_NE(out.find("valid archive main header"), std::string::npos) << out;
    Bytes bad = archive(GOOD);
    bad[10] ^= 1;  // inside the main header: its CRC no longer matches
    write("badcrc.arj", bad);
    EXPECT_EQ(pack("badcrc.arj", "--force"), 1);
    EXPECT_NE(out.find("Invalid header CRC"), std::string::npos) << out;
    // An installer is not an archive.
    ASSERT_EQ(pack("good.arj"), 0);
    fs::rename(path("out.exe"), path("installer.arj"));
    EXPECT_EQ(pack("installer.arj"), 1);
    fs::remove(path("installer.arj"));
    expect_nothing_written();
}

TEST_F(Pack, RefusesEntriesTheStubWouldRefuseUnlessForced) {
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
    };
    for (const Case& c : cases) {
        write("bad.arj", archive({{"setup.exe", "s"}, c.entry}));
        EXPECT_EQ(pack("bad.arj"), 1) << c.message;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        expect_nothing_written();
        EXPECT_EQ(pack("bad.arj", "--force"), 0) << out;
        EXPECT_NE(out.find("warning"), std::string::npos) << out;
        fs::remove(path("out.exe"));
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
    fs::remove(path("out.exe"));

    write("upper.arj", archive({{"disk1/SETUP.EXE", "s", 6}}));
    EXPECT_EQ(pack("upper.arj"), 0) << out;
}

TEST_F(Pack, FailureLeavesAnExistingTargetAlone) {
    write("out.exe", "previous installer");
    write("none.arj", archive({{"readme.txt", "r"}}));
    EXPECT_EQ(pack("none.arj"), 1);
    EXPECT_EQ(read("out.exe"), "previous installer");
    EXPECT_EQ(tool("pack --stub " + path("stub.exe") + " " + path("good.arj") + " -o " + path("no/such/dir.exe")),
              1);
    EXPECT_NE(out.find("cannot create"), std::string::npos) << out;
}

}  // namespace
