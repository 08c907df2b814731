// iunpack pack from files, folders and archives: what goes in, in which
// order, what is refused (and what --force lets through), and that the
// same inputs give the same bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "tests/support/archive_writer.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"

namespace {

constexpr size_t ARCHIVE_AT = 49152 + 200;
constexpr int64_t TIME_2001 = 981173106;  // 2001-02-03 04:05:06 UTC

uint32_t dos(int year, int month, int day, int hour, int minute, int second) {
    return uint32_t((year - 1980) << 9 | month << 5 | day) << 16 | uint32_t(hour << 11 | minute << 5 | second / 2);
}

// The date and time field of the installer's header number `index` (0:
// the main header), walking headers with empty extended header lists.
uint32_t header_time(const Bytes& installer, int index) {
    size_t at = ARCHIVE_AT;
    for (int i = 0;; i++) {
        size_t size = le_u16(&installer.at(at + 2));
        if (i == index) return le_u32(&installer.at(at + 4 + 8));
        uint32_t compressed = i == 0 ? 0 : le_u32(&installer.at(at + 4 + 12));
        at += 4 + size + 4 + 2 + compressed;
    }
}

void set_time(const std::string& path, int64_t seconds) {
    struct timeval times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

// Names in the order `list` prints them.
std::vector<std::string> listed_names(const std::string& listing) {
    std::vector<std::string> names;
    std::istringstream in(listing);
    std::string line;
    std::getline(in, line);  // the prompt line
    std::getline(in, line);  // the header line
    while (std::getline(in, line)) names.push_back(line.substr(39));
    return names;
}

class PackInputs : public testing::Test {
protected:
    std::string path(const std::string& name) { return dir / name; }
    void file(const std::string& name, const std::string& content) { write_file(path(name), to_bytes(content)); }
    void folder(const std::string& name) { make_dir(path(name)); }
    int tool(const std::string& args, const std::string& env = "") { return run_iunpack(args, &out, nullptr, env); }
    // pack INPUTS -o out.exe, inputs given relative to the scratch directory.
    int pack(const std::string& inputs, const std::string& more = "", const std::string& env = "") {
        std::string args;
        std::istringstream in(inputs);
        for (std::string input; in >> input;) args += " '" + path(input) + "'";
        return tool("pack " + more + args + " -o " + path("out.exe"), env);
    }
    std::vector<std::string> listed() {
        EXPECT_EQ(tool("list " + path("out.exe")), 0) << out;
        return listed_names(out);
    }

    ScratchDir dir;
    std::string out;
};

// A folder's files, a file and an archive's entries go into one archive,
// setup.exe first, then by name byte for byte; archive entries pass
// through unchanged, and --method picks the coder (stored when it does not
// shrink the file).
TEST_F(PackInputs, FolderFileAndArchiveTogetherInAStableOrder) {
    folder("f");
    file("f/setup.exe", "MZ setup");
    std::string text;
    for (int i = 0; i < 2000; i++) text += "line " + std::to_string(i % 17) + "\n";
    file("f/b.txt", text);
    write_file(path("f/Z.bin"), random_bytes(5000, 7));
    folder("other");
    file("other/a.txt", "alone");
    ArchiveWriter w;
    HeaderFields manual = stored_fields("docs/m.txt", to_bytes("manual"));
    w.entry(manual, to_bytes("manual")).stored("y.txt", to_bytes("why"));
    write_file(path("in.arj"), w.finish());

    ASSERT_EQ(pack("in.arj f other/a.txt", "--method 4"), 0) << out;
    EXPECT_NE(out.find("packed " + path("out.exe") + ": 6 entries"), std::string::npos) << out;
    EXPECT_EQ(listed(), (std::vector<std::string>{"setup.exe", "Z.bin", "a.txt", "b.txt", "m.txt  (stored as docs/m.txt)",
                                                  "y.txt"}));
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        unsigned original, compressed, method;
        if (!(fields >> original >> compressed >> method)) continue;
        if (line.ends_with("b.txt")) {
            EXPECT_EQ(method, 4u) << line;
        }
        if (line.ends_with("Z.bin")) {
            EXPECT_EQ(method, 0u) << line;
        }
    }
    Bytes installer = read_file(path("out.exe"));
    Bytes passed = header_bytes(manual);
    passed.insert(passed.end(), {'m', 'a', 'n', 'u', 'a', 'l'});
    EXPECT_NE(std::search(installer.begin(), installer.end(), passed.begin(), passed.end()), installer.end());

    ASSERT_EQ(tool("extract " + path("out.exe") + " " + path("x")), 0) << out;
    EXPECT_EQ(read_text(path("x/b.txt")), text);
    EXPECT_EQ(read_file(path("x/Z.bin")), random_bytes(5000, 7));
    EXPECT_EQ(read_text(path("x/a.txt")), "alone");
    EXPECT_EQ(read_text(path("x/m.txt")), "manual");
}

// Each refusal names the file and the reason; --force lets through only
// what the launcher still accepts.
TEST_F(PackInputs, RefusalsAndWhatForceOverrides) {
    struct Case {
        std::vector<std::string> files;  // in folder "f"
        std::string named;               // the file the message names
        const char* reason;
        bool forced_packs;
    } cases[] = {
        {{"setup.exe", "sub/n.txt"}, "f/sub/n.txt", "a file in a subfolder", true},
        {{"install.exe"}, "", "no entry named setup.exe", true},
        {{"setup.exe", "caf\xe9.txt"}, "f/caf\\xe9.txt", "bytes above 127", true},
        {{"setup.exe", "NUL.txt"}, "f/NUL.txt", "not one plain file name", false},
        {{"setup.exe", "trail."}, "f/trail.", "not one plain file name", false},
        {{"setup.exe", "a\\b"}, "f/a\\\\b", "not one plain file name", false},
        {{"setup.exe", "a*b|c?.txt"}, "f/a*b|c?.txt", "not one plain file name", false},
        {{"setup.exe", std::string(240, 'n')}, "f/nnn", "longer than 239", false},
        {{"setup.exe", "Readme.txt", "README.TXT"}, "f/Readme.txt", "a second file of that name", false},
        // Stored flat, the nested setup would land on the first one.
        {{"setup.exe", "sub/SETUP.EXE"}, "f/sub/SETUP.EXE", "a second file of that name", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        run_command("rm -rf '" + path("f") + "'");
        folder("f");
        for (const std::string& name : c.files) {
            if (name.starts_with("sub/") && !exists(path("f/sub"))) folder("f/sub");
            file("f/" + name, "content of " + name);
        }
        EXPECT_EQ(pack("f"), 1);
        EXPECT_NE(out.find(c.reason), std::string::npos) << out;
        if (!c.named.empty()) {
            EXPECT_NE(out.find(path(c.named)), std::string::npos) << out;
        }
        EXPECT_FALSE(exists(path("out.exe")));
        EXPECT_EQ(pack("f", "--force"), c.forced_packs ? 0 : 1) << out;
        if (c.forced_packs) {
            EXPECT_NE(out.find("warning"), std::string::npos) << out;
            EXPECT_EQ(tool("test " + path("out.exe")), 0) << out;
            EXPECT_EQ(out.find("/"), std::string::npos) << out;  // every name plain
            ::remove(path("out.exe").c_str());
        }
        EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"f"}));
    }
}

// An entry's sizes are 32-bit fields: a file of 4 GiB is refused before
// anything is compressed (the file is sparse).
TEST_F(PackInputs, RefusesAFileOf4GiB) {
    folder("f");
    file("f/setup.exe", "MZ");
    ASSERT_EQ(truncate(path("f/setup.exe").c_str(), 4294967296), 0);
    EXPECT_EQ(pack("f", "--force"), 1);
    EXPECT_NE(out.find(path("f/setup.exe") + ": 4294967296 bytes; an entry holds at most 4294967295"),
              std::string::npos)
        << out;
    EXPECT_EQ(list_dir(dir.path), (std::vector<std::string>{"f"}));
}

// The same files give the same installer whatever the order a folder
// lists them in, the output's name, the time zone and the clock; entry
// times are the files' modification times in UTC, the main header's the
// newest of them, SOURCE_DATE_EPOCH clamps later ones.
TEST_F(PackInputs, TheSameInputsGiveTheSameBytes) {
    std::vector<std::pair<std::string, Bytes>> files = {
        {"setup.exe", to_bytes("MZ setup")}, {"b.txt", to_bytes(std::string(3000, 'b'))},
        {"A.dat", random_bytes(40000, 3)},   {"c.log", to_bytes("newest")}};
    for (const char* name : {"one", "two"}) {
        folder(name);
        // The second folder's files are made in the reverse order.
        for (size_t k = 0; k < files.size(); k++) {
            const auto& [file_name, content] = files[name[0] == 'o' ? k : files.size() - 1 - k];
            write_file(path(std::string(name) + "/" + file_name), content);
            set_time(path(std::string(name) + "/" + file_name), file_name == "c.log" ? TIME_2001 + 3600 : TIME_2001);
        }
    }
    ASSERT_EQ(pack("one", "--prompt 'Install?'", "TZ=UTC"), 0) << out;
    Bytes first = read_file(path("out.exe"));
    EXPECT_EQ(listed(), (std::vector<std::string>{"setup.exe", "A.dat", "b.txt", "c.log"}));
    ASSERT_EQ(tool("pack --prompt 'Install?' " + path("two") + " -o " + path("two.exe"), "TZ=XYZ-9"), 0) << out;
    EXPECT_EQ(read_file(path("two.exe")), first);
    ASSERT_EQ(pack("two", "--prompt 'Install?'", "TZ=ABC+5"), 0) << out;
    EXPECT_EQ(read_file(path("out.exe")), first);

    EXPECT_EQ(header_time(first, 1), dos(2001, 2, 3, 4, 5, 6));  // setup.exe
    EXPECT_EQ(header_time(first, 4), dos(2001, 2, 3, 5, 5, 6));  // c.log
    EXPECT_EQ(header_time(first, 0), dos(2001, 2, 3, 5, 5, 6));  // the newest entry

    // Clamped to SOURCE_DATE_EPOCH: c.log and the main header take its time.
    std::string epoch = "SOURCE_DATE_EPOCH=" + std::to_string(TIME_2001 + 60);
    ASSERT_EQ(pack("one", "--prompt 'Install?'", epoch), 0) << out;
    Bytes clamped = read_file(path("out.exe"));
    EXPECT_EQ(header_time(clamped, 1), dos(2001, 2, 3, 4, 5, 6));
    EXPECT_EQ(header_time(clamped, 4), dos(2001, 2, 3, 4, 6, 6));
    EXPECT_EQ(header_time(clamped, 0), dos(2001, 2, 3, 4, 6, 6));
    EXPECT_EQ(pack("one", "", "SOURCE_DATE_EPOCH=yesterday"), 1);
    EXPECT_NE(out.find("SOURCE_DATE_EPOCH"), std::string::npos) << out;

    // Packed into the folder itself, twice: neither the installer being
    // written nor the one it replaces goes in.
    std::string inside = "pack --prompt 'Install?' " + path("one") + " -o " + path("one/setup-installer.exe");
    for (int run = 0; run < 2; run++) {
        ASSERT_EQ(tool(inside, "TZ=UTC"), 0) << out;
        EXPECT_EQ(read_file(path("one/setup-installer.exe")), first) << run;
        // The notes name the installer, not the temporary file it is written to.
        EXPECT_NE(out.find("note: " + path("one/setup-installer.exe") + " is left out: it is the installer being written"),
                  std::string::npos) << out;
    }
}

}  // namespace
