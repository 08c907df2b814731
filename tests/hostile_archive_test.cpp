// Archives an attacker would build, each run through `iunpack run` (the
// launcher's own code on this platform) under a 1 MB limit on what the run
// may write, and checked for its trace, its result and what setup found.
// One line of reason per case.
#include <gtest/gtest.h>

#include "tests/support/archive_writer.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"
#include "tests/support/lzh_writer.h"
#include "tests/support/method4_writer.h"

namespace {

const std::string SHOWN = "show-window SW_SHOW";
std::string box(const std::string& text) {
    return "message-box caption=\"Installation Unpacker\" owner=window style=0x00000000 text=\"" + text + "\"";
}
const std::vector<std::string> BAD_CRC = {SHOWN, box("File has bad CRC !"), "driver-result 3"};
const std::vector<std::string> BAD_CODE = {SHOWN, box("Bad Huffman code !"), "driver-result 3"};
const std::vector<std::string> CREATE_ERROR = {SHOWN, box("Create file error !"), "driver-result 3"};

// The setup command: lists what it finds, as name=content, in `saw`.
std::string setup_listing(const std::string& saw) {
    return "for f in *; do printf \"%s=%s\\n\" \"$f\" \"$(cat \"$f\")\"; done > " + saw;
}

HeaderFields entry_fields(const std::string& name, uint8_t method, uint32_t compressed, uint32_t original, uint32_t crc) {
    HeaderFields h;
    h.name = name;
    h.method = method;
    h.compressed_size = compressed;
    h.original_size = original;
    h.file_crc = crc;
    return h;
}

// An archive whose first entry is setup.exe, then `more`.
ArchiveWriter with_setup() {
    ArchiveWriter w;
    w.stored("setup.exe", to_bytes("GOOD"));
    return w;
}

// setup.exe, then readme.txt: method 1, original size 0 (CRC 0), whose
// compressed data holds two bytes the decoder fetches and then a whole
// stored setup.exe. list and the Debian arj see two entries; a reader that
// takes the next header where the decoder stopped unpacks the hidden
// setup.exe over the first and runs it.
Bytes smuggled_entry() {
    ArchiveWriter inner;
    Bytes hidden = inner.stored("setup.exe", to_bytes("EVIL")).bytes;
    hidden.erase(hidden.begin(), hidden.begin() + ptrdiff_t(header_bytes(main_header_fields()).size()));
    hidden.insert(hidden.begin(), {0, 0});
    ArchiveWriter w = with_setup();
    w.entry(entry_fields("readme.txt", 1, uint32_t(hidden.size()), 0, 0), hidden);
    return w.finish();
}

Bytes zero_fill_bomb(uint8_t method, int count) {
    ArchiveWriter w = with_setup();
    for (int i = 0; i < count; i++)
        w.entry(entry_fields("bomb" + std::to_string(i) + ".bin", method, 0, 0xFFFFFFFFu, 0x12345678), {});
    return w.finish();
}

// Every block's literal/length code is over-full, and there are many.
Bytes box_storm() {
    LzhBlock block;
    block.litlen[0] = 1;
    block.count = 1;
    Bytes data = lzh_stream(std::vector<LzhBlock>(20, block));
    ArchiveWriter w = with_setup();
    w.entry(entry_fields("storm.bin", 1, uint32_t(data.size()), 0xFFFFFFFFu, 0), data);
    return w.finish();
}

// A method-4 entry whose last match ends 5 bytes past original_size, with
// the CRC of all 11 bytes: once written whole, it passed.
Bytes match_past_the_end() {
    BitWriter bits;
    put_items(bits, {{0, 'z'}, {10, 0}});
    ArchiveWriter w = with_setup();
    w.entry(entry_fields("long.txt", 4, uint32_t(bits.bytes.size()), 6, crc_of(Bytes(11, 'z'))), bits.bytes);
    return w.finish();
}

// Stored data longer than the entry, with the CRC of all of it.
Bytes stored_past_the_end() {
    Bytes data = to_bytes("0123456789");
    HeaderFields h = stored_fields("long.txt", data);
    h.original_size = 5;
    ArchiveWriter w = with_setup();
    w.entry(h, data);
    return w.finish();
}

// The header promises a gigabyte of method-1 data; the file ends first.
Bytes cut_inside_the_data() {
    LzhBlock block;
    block.items = {literal('a'), literal('b')};
    Bytes data = lzh_stream({block});
    ArchiveWriter w = with_setup();
    w.entry(entry_fields("cut.bin", 1, 1u << 30, 1u << 30, 0), data);
    return w.bytes;
}

Bytes named(const std::string& name) {
    ArchiveWriter w = with_setup();
    w.stored(name, to_bytes("data"));
    return w.finish();
}

struct HostileCase {
    const char* reason;
    Bytes archive;
    std::vector<std::string> trace;  // the whole trace of the run
    std::vector<std::string> saw;    // what setup found beside it, when it ran
};

std::vector<HostileCase> hostile_cases(const std::string& work_dir) {
    std::vector<std::string> setup_ran = {SHOWN, "show-window SW_HIDE",
                                          "create-process command=\"" + work_dir + "setup.exe -i\" directory=\"" +
                                              work_dir + "\"",
                                          "setup-exit 0", "driver-result 0"};
    std::vector<HostileCase> cases = {
        {"data after the used bits is the entry's, never a header: setup.exe is the listed one", smuggled_entry(),
         setup_ran, {"readme.txt=", "setup.exe=GOOD"}},
        {"method 1 asked for 4 GiB from no data: damage at the third byte past the data", zero_fill_bomb(1, 1),
         BAD_CRC, {}},
        {"the same with method 4", zero_fill_bomb(4, 1), BAD_CRC, {}},
        {"1000 bombs in a row: the first ends the installation", zero_fill_bomb(1, 1000), BAD_CRC, {}},
        {"refused code descriptions: one box, however many blocks", box_storm(), BAD_CODE, {}},
        {"a last match past original_size, CRC over all of it", match_past_the_end(), BAD_CRC, {}},
        {"stored data longer than original_size, CRC over all of it", stored_past_the_end(), BAD_CRC, {}},
        {"the file ends inside the data: one failed read ends the entry", cut_inside_the_data(), BAD_CRC, {}},
        {"a second setup.exe never replaces the first", named("setup.exe"), CREATE_ERROR, {}},
    };
    // Windows strips trailing dots and spaces and opens devices by their
    // stem whatever follows it.
    const char* names[] = {"setup.exe.", "setup.exe ", "NUL .txt", "AUX  .x", "COM1 .txt", "CON ",
                           "CONIN$", "conout$", "CLOCK$.log", "COM\xB9", "COM\xB2", "COM\xB3",
                           "LPT\xB9", "LPT\xB2.txt", "lpt\xB3"};
    for (const char* name : names) cases.push_back({name, named(name), CREATE_ERROR, {}});
    return cases;
}

TEST(HostileArchive, EachCaseEndsAsItMustThroughIunpackRun) {
    ScratchDir scratch;
    std::string tmp = scratch / "tmp";
    std::string work_dir = tmp + "/iunpack_.$$$/";
    for (const HostileCase& c : hostile_cases(work_dir)) {
        SCOPED_TRACE(c.reason);
        make_dir(tmp);
        std::string installer = scratch / "installer.exe";
        write_file(installer, self_extracting(c.archive));
        std::string out, err, saw = scratch / "saw";
        // Each unit of the file-size limit is at most 1 KiB: 1 MiB at most.
        std::string limit = "ulimit -f 1024 && ";
        int status = run_iunpack("run " + installer + " --answer yes --setup '" + setup_listing(saw) + "'", &out, &err,
                                 limit + "cd '" + scratch.path + "' && TMPDIR='" + tmp + "'");
        // The exit status is the driver's result.
        EXPECT_EQ("driver-result " + std::to_string(status), c.trace.back());
        EXPECT_EQ(lines_of(err), c.trace);
        EXPECT_EQ(list_dir(tmp), std::vector<std::string>{}) << "nothing is left behind";
        EXPECT_EQ(exists(saw) ? lines_of(read_text(saw)) : std::vector<std::string>{}, c.saw);
        // The tool's other readers end under the same limit.
        EXPECT_LE(run_iunpack("test " + installer, &out, &err, limit), 1);
        run_command("rm -rf '" + tmp + "' '" + saw + "'");
    }
}

// `test` writes nowhere, yet fails the second of two names that differ
// only in letter case, as the launcher on Windows cannot create it.
TEST(HostileArchive, TestFailsANameThatDiffersOnlyInCase) {
    ScratchDir scratch;
    std::string archive = scratch / "clash.arj";
    ArchiveWriter w = with_setup();
    w.stored("Readme.txt", to_bytes("one"));
    w.stored("README.TXT", to_bytes("two"));
    write_file(archive, w.finish());
    std::string out, err;
    EXPECT_EQ(run_iunpack("test " + archive, &out, &err), 1);
    EXPECT_EQ(lines_of(out), (std::vector<std::string>{"ok     setup.exe", "ok     Readme.txt", "FAILED README.TXT",
                                                       "3 entries, 1 failed"}));
    EXPECT_EQ(lines_of(err), std::vector<std::string>{"error: " + archive + ": entry README.TXT: Create file error ! (an "
                                                      "earlier entry has this name in some letter case: on Windows "
                                                      "that is one file)"});
}

// Every reader sees the entries the headers make: list, test, extract and
// pack agree with the launcher on the smuggling archive, and so does the
// Debian archiver where present.
TEST(HostileArchive, EveryReaderSeesTheSameEntries) {
    ScratchDir scratch;
    std::string archive = scratch / "smuggled.arj";
    write_file(archive, smuggled_entry());
    std::string out, err;

    ASSERT_EQ(run_iunpack("list " + archive, &out, &err), 0);
    std::vector<std::string> listed = lines_of(out);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_TRUE(listed[1].ends_with("setup.exe") && listed[2].ends_with("readme.txt")) << out;

    ASSERT_EQ(run_iunpack("test " + archive, &out, &err), 0);
    EXPECT_EQ(lines_of(out), (std::vector<std::string>{"ok     setup.exe", "ok     readme.txt", "2 entries, 0 failed"}));

    ASSERT_EQ(run_iunpack("extract " + archive + " " + (scratch / "x"), &out, &err), 0);
    EXPECT_EQ(list_dir(scratch / "x"), (std::vector<std::string>{"readme.txt", "setup.exe"}));
    EXPECT_EQ(read_file(scratch / "x/setup.exe"), to_bytes("GOOD"));

    write_file(scratch / "stub.exe", pe_stub());
    EXPECT_EQ(run_iunpack("pack --stub " + (scratch / "stub.exe") + " " + archive + " -o " + (scratch / "i.exe"), &out, &err), 0)
        << err;

    if (run_command("command -v arj") != 0) GTEST_SKIP() << "arj is not installed";
    ASSERT_EQ(run_command("arj l " + archive, &out), 0) << out;
    EXPECT_NE(out.find("2 files"), std::string::npos) << out;
}

}  // namespace
