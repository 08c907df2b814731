// Entry extraction: validation order, output names, the stored copy, the CRC
// comparison, and where each outcome leaves the stream.
#include "archive/entry_extraction.h"

#include <unistd.h>

#include "archive/header_reader.h"
#include "common/failure.h"
#include "tests/support/double_fixture.h"
#include "tests/support/lzh_writer.h"
#include "tests/support/method4_writer.h"

namespace {

class EntryExtraction : public DoubleTest {
protected:
    void SetUp() override {
        DoubleTest::SetUp();
        make_dir(scratch / "out");
        snprintf(unpack.work_dir, PATH_SIZE, "%s", extract_dir().c_str());
    }
    // Opens an archive of the given entries and reads up to the first entry.
    void open_entries(ArchiveWriter& w) {
        archive = w.finish();
        open_archive(archive);
        ASSERT_EQ(read_header(), HEADER_READ);
        ASSERT_EQ(read_header(), HEADER_READ);
    }
    // Extracts the current entry; the next header must follow it.
    int extract_then_expect_next(int next = HEADER_END) {
        int result = extract_entry();
        EXPECT_EQ(read_header(), next);
        return result;
    }
    Bytes archive;
};

TEST_F(EntryExtraction, StoredEntriesAreWrittenByteForByte) {
    Bytes a = random_bytes(100000, 1), b = to_bytes("second\r\nline\n");
    HeaderFields text = stored_fields("docs/readme.txt", b);
    text.file_type = 1;  // written byte for byte all the same
    ArchiveWriter w;
    w.stored("bin/a.bin", a).entry(text, b);
    open_entries(w);
    EXPECT_EQ(extract_entry(), 0);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(extract_then_expect_next(), 0);
    EXPECT_EQ(read_file(extract_dir() + "a.bin"), a);
    EXPECT_EQ(read_file(extract_dir() + "readme.txt"), b);
    EXPECT_TRUE(platform_double.boxes.empty());
    EXPECT_EQ(platform_double.heap_blocks, 0);
    EXPECT_EQ(platform_double.open_files, 1);  // the archive alone
}

TEST_F(EntryExtraction, RefusedEntriesShowTwoMessagesAndSkipTheirData) {
    struct Case {
        const char* why;
        void (*change)(HeaderFields&);
        const char* first;  // the specific message; nullptr: accepted
    };
    const Case cases[] = {
        {"version 3 passes", [](HeaderFields& h) { h.min_version = 3; }, nullptr},
        {"version 4", [](HeaderFields& h) { h.min_version = 4; }, MSG_UNSUPPORTED_VERSION},
        {"flags without bit 0 pass", [](HeaderFields& h) { h.flags = 0x10; }, nullptr},
        {"passworded", [](HeaderFields& h) { h.flags = 0x11; }, MSG_PASSWORDED},
        {"method 5", [](HeaderFields& h) { h.method = 5; }, MSG_UNKNOWN_METHOD},
        {"version checked before method",
         [](HeaderFields& h) {
             h.min_version = 9;
             h.method = 9;
         },
         MSG_UNSUPPORTED_VERSION},
        {"password checked before file type",
         [](HeaderFields& h) {
             h.flags = 1;
             h.file_type = 3;
         },
         MSG_PASSWORDED},
        {"file type 2", [](HeaderFields& h) { h.file_type = 2; }, MSG_INVALID_FILE_TYPE},
        {"file type 255", [](HeaderFields& h) { h.file_type = 255; }, MSG_INVALID_FILE_TYPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        platform_double.boxes.clear();
        Bytes content = to_bytes("data of the entry");
        HeaderFields h = stored_fields("entry.bin", content);
        c.change(h);
        ArchiveWriter w;
        w.entry(h, content);
        open_entries(w);
        int result = extract_then_expect_next();
        if (!c.first) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(platform_double.boxes.empty());
        } else {
            EXPECT_EQ(result, ERR_ENTRY_REFUSED);
            EXPECT_EQ(messages(), (Texts{c.first, MSG_ENTRY_REFUSED}));
            EXPECT_EQ(platform_double.boxes[1].owner, &window);
            EXPECT_FALSE(exists(extract_dir() + "entry.bin"));
        }
        archive_close();
        remove((extract_dir() + "entry.bin").c_str());
    }
}

TEST_F(EntryExtraction, NamesThatWouldLeaveTheWorkingDirectoryAreRefused) {
    struct Case {
        const char* why;
        std::string name;
        int pos;
    };
    const Case cases[] = {
        {"separator kept by a zero name position", "sub/file", 0},
        {"backslash", "sub\\file", 0},
        {"drive colon", "C:file", 0},
        {"parent", "x/..", 2},
        {"current", ".", 0},
        {"empty remainder", "dir/", 4},
        {"position past the name", "abc", 100},
        {"position past header_name", "abc", 512},
        {"position far past header_name", "abc", 65535},
        {"device name", "con.txt", 0},
        {"device name with a number", "LPT1", 0},
        {"trailing dot: Windows strips it", "setup.exe.", 0},
        {"trailing space: Windows strips it", "setup.exe ", 0},
        {"dots only", "...", 0},
        {"device stem with a space before the extension", "NUL .txt", 0},
        {"device stem with spaces", "AUX  .x", 0},
        {"numbered device stem with a space", "COM1 .txt", 0},
        {"device with a trailing space", "CON ", 0},
        {"console input", "CONIN$", 0},
        {"console output, with an extension", "conout$.log", 0},
        {"clock", "CLOCK$", 0},
        {"superscript one", "COM\xB9", 0},
        {"superscript two, with an extension", "lpt\xB2.txt", 0},
        {"superscript three", "LPT\xB3", 0},
        {"control character", "a\tb", 0},
        {"characters Windows refuses in a name", "a*b|c?.txt", 0},
        {"angle brackets and a quote", "<\"x\">", 0},
        {"name position inside a component: a name no listing shows", "evilsetup.exe", 4},
        {"name position inside the only component", "setup.exe", 3},
        {"path too long", std::string(255, 'x'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        platform_double.boxes.clear();
        Bytes content = to_bytes("evil");
        HeaderFields h = stored_fields("x", content);
        h.name = c.name;
        h.entry_name_pos = uint16_t(c.pos);
        ArchiveWriter w;
        w.entry(h, content);
        open_entries(w);
        EXPECT_EQ(extract_then_expect_next(), ERR_CREATE_FILE);
        EXPECT_EQ(messages(), Texts{MSG_CREATE_FILE});
        EXPECT_EQ(list_dir(scratch.path), (std::vector<std::string>{"archive.arj", "out"}));
        EXPECT_TRUE(list_dir(scratch / "out").empty());
        archive_close();
    }
}

TEST_F(EntryExtraction, AcceptedNamesBesideTheRefusedOnes) {
    const char* names[] = {"COM", "CONSOLE.TXT", "nul1", "a..b", "setup.exe", "x y.txt", "CONIN", "LPT10", "COM\xB4"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        ArchiveWriter w;
        w.stored(name, to_bytes(name));
        open_entries(w);
        EXPECT_EQ(extract_then_expect_next(), 0);
        EXPECT_EQ(read_file(extract_dir() + name), to_bytes(name));
        archive_close();
    }
}

TEST_F(EntryExtraction, LongestPathThatFitsIsWritten) {
    std::string name(255 - strlen(unpack.work_dir), 'y');
    ArchiveWriter w;
    w.stored(name, to_bytes("fits"));
    open_entries(w);
    if (name.size() > 255) GTEST_SKIP() << "file names this long are not possible here";
    EXPECT_EQ(extract_then_expect_next(), 0);
}

TEST_F(EntryExtraction, EmptyStoredEntrySucceedsExactlyWhenItsCrcIsZero) {
    ArchiveWriter w;
    HeaderFields bad = stored_fields("bad", {});
    bad.file_crc = 0xFFFFFFFF;
    w.stored("empty", {}).entry(bad, {});
    open_entries(w);
    EXPECT_EQ(extract_entry(), 0);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(extract_then_expect_next(), ERR_BAD_CRC);
    EXPECT_EQ(messages(), Texts{MSG_BAD_CRC});
    EXPECT_TRUE(read_file(extract_dir() + "empty").empty());
    EXPECT_EQ(platform_double.heap_blocks, 0);
    // Nothing was allocated for them.
    for (const std::string& call : platform_double.calls) EXPECT_NE(call, "GlobalAlloc");
}

TEST_F(EntryExtraction, BadCrcLeavesTheCompleteFile) {
    Bytes content = random_bytes(5000, 9);
    HeaderFields h = stored_fields("f.bin", content);
    h.file_crc ^= 0x80000000u;
    ArchiveWriter w;
    w.entry(h, content);
    open_entries(w);
    EXPECT_EQ(extract_then_expect_next(), ERR_BAD_CRC);
    EXPECT_EQ(read_file(extract_dir() + "f.bin"), content);
}

// Output files are created exclusively: a second entry of the same name,
// or a link already in the directory, is refused and its data skipped.
TEST_F(EntryExtraction, FilesInTheWayAreNeverReplacedNorFollowed) {
    ArchiveWriter w;
    w.stored("a/same.txt", to_bytes("first, longer")).stored("b/same.txt", to_bytes("second")).stored("link", to_bytes("x"));
    ASSERT_EQ(symlink((scratch / "target").c_str(), (extract_dir() + "link").c_str()), 0);
    open_entries(w);
    EXPECT_EQ(extract_entry(), 0);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(extract_entry(), ERR_CREATE_FILE);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(extract_then_expect_next(), ERR_CREATE_FILE);
    EXPECT_EQ(messages(), (Texts{MSG_CREATE_FILE, MSG_CREATE_FILE}));
    EXPECT_EQ(read_file(extract_dir() + "same.txt"), to_bytes("first, longer"));
    EXPECT_FALSE(exists(scratch / "target"));
}

// Stored data longer than original_size is damage: nothing is written.
TEST_F(EntryExtraction, StoredDataLongerThanTheEntryIsRefused) {
    Bytes content = to_bytes("twelve bytes");
    HeaderFields h = stored_fields("long.bin", content);
    h.original_size = 11;
    ArchiveWriter w;
    w.entry(h, content);
    open_entries(w);
    EXPECT_EQ(extract_then_expect_next(), ERR_BAD_CRC);
    EXPECT_EQ(messages(), Texts{MSG_BAD_CRC});
    EXPECT_TRUE(read_file(extract_dir() + "long.bin").empty());
}

// The next header is read where the header says the data ends, whatever
// the decoder fetched: bytes behind the used bits (here a whole hidden
// entry) are never taken for a header, after success or failure, also when
// the decoder could not start (no window).
TEST_F(EntryExtraction, EveryMethodEndsWhereItsHeaderSaysItsDataEnds) {
    Bytes content = to_bytes("hello hello hello, the entry itself");
    ArchiveWriter hidden_writer;
    hidden_writer.stored("setup.exe", to_bytes("hidden"));
    Bytes hidden(hidden_writer.bytes.begin() + ptrdiff_t(header_bytes(main_header_fields()).size()), hidden_writer.bytes.end());
    for (uint8_t method = 1; method <= 4; method++) {
        for (int variant : {0, 1, 2}) {  // sound, bad CRC, no window
            SCOPED_TRACE(int(method) * 10 + variant);
            LzhBlock block;
            for (uint8_t b : content) block.items.push_back(literal(b));
            Bytes data = method == 4 ? method4_compress(content) : lzh_stream({block});
            data.insert(data.end(), hidden.begin(), hidden.end());
            HeaderFields h = stored_fields("entry.txt", content);
            h.method = method;
            h.compressed_size = uint32_t(data.size());
            if (variant == 1) h.file_crc ^= 1;
            ArchiveWriter w;
            w.entry(h, data).stored("after.txt", to_bytes("after"));
            open_entries(w);
            platform_double.heap_limit = variant == 2 ? 1 : 0;
            EXPECT_EQ(extract_entry(), variant == 0 ? 0 : variant == 1 ? ERR_BAD_CRC : ERR_ALLOC_MEMORY);
            platform_double.heap_limit = 0;
            ASSERT_EQ(read_header(), HEADER_READ);
            EXPECT_STREQ(unpack.header_name, "after.txt");
            EXPECT_EQ(read_file(extract_dir() + "entry.txt"), variant == 2 ? Bytes() : content);
            archive_close();
            remove((extract_dir() + "entry.txt").c_str());
        }
    }
}

// A file that ends inside stored data is damage, as for every method.
TEST_F(EntryExtraction, ArchiveEndingInsideStoredDataLeavesAnEmptyFile) {
    Bytes content = random_bytes(3000, 3);
    ArchiveWriter w;
    w.stored("cut.bin", content);
    Bytes bytes(w.bytes.begin(), w.bytes.end() - 10);
    open_archive(bytes);
    ASSERT_EQ(read_header(), HEADER_READ);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(extract_entry(), ERR_BAD_CRC);
    EXPECT_EQ(messages(), Texts{MSG_BAD_CRC});
    EXPECT_TRUE(read_file(extract_dir() + "cut.bin").empty());
    EXPECT_EQ(platform_double.heap_blocks, 0);
}

TEST_F(EntryExtraction, PlatformFailuresInTheStoredCopy) {
    struct Case {
        const char* call;
        int code;
        const char* message;
        bool file_written;  // complete file on disk
        bool skipped;       // the next header follows
    };
    const Case cases[] = {
        {"openat", ERR_CREATE_FILE, MSG_CREATE_FILE, false, true},
        {"GlobalAlloc", ERR_ALLOC_MEMORY, MSG_ALLOC_MEMORY, false, true},
        {"GlobalLock", ERR_ALLOC_MEMORY, MSG_ALLOC_MEMORY, false, true},
        {"fwrite", ERR_WRITE_OUTPUT, MSG_WRITE_OUTPUT, false, true},
    };
    Bytes content = random_bytes(70000, 5);  // larger than the stream's buffer
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        platform_double_reset();
        platform_double.fail_only = c.call;
        platform_double.fail_at = 1;
        ArchiveWriter w;
        w.stored("f.bin", content);
        open_entries(w);
        int result = extract_entry();
        EXPECT_EQ(result, c.code);
        EXPECT_EQ(platform_double.injected, c.call);
        EXPECT_EQ(messages(), Texts{c.message});
        if (c.skipped) {
            EXPECT_EQ(read_header(), HEADER_END);
        }
        EXPECT_EQ(exists(extract_dir() + "f.bin"), std::string(c.call) != "openat");
        EXPECT_EQ(platform_double.heap_blocks, 0);
        EXPECT_EQ(platform_double.open_files, 1);
        archive_close();
        remove((extract_dir() + "f.bin").c_str());
    }
}

}  // namespace
