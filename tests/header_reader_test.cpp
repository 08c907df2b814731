// Reading headers: identifiers, sizes, CRCs, names, extended headers, and
// where each outcome leaves the stream.
#include "archive/header_reader.h"

#include "archive/layout.h"
#include "common/failure.h"
#include "tests/support/double_fixture.h"

namespace {

class HeaderReader : public DoubleTest {};

TEST_F(HeaderReader, ReadsMainAndLocalHeadersAndStopsAtTheEndMarker) {
    Bytes content = to_bytes("payload");
    HeaderFields entry = stored_fields("dir/file.txt", content);
    entry.comment = "a comment";
    Bytes archive = ArchiveWriter().entry(entry, content).finish();
    open_archive(archive);

    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(unpack.header.file_type, 2);
    EXPECT_STREQ(unpack.header_name, "archive.arj");

    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_STREQ(unpack.header_name, "dir/file.txt");
    EXPECT_EQ(unpack.header.entry_name_pos, 4);
    EXPECT_EQ(unpack.header.compressed_size, content.size());
    EXPECT_EQ(unpack.header.file_crc, crc_of(content));
    // The stream stands at the entry's data.
    EXPECT_EQ(archive_tell(), int64_t(archive.size() - 4 - content.size()));
    archive_skip(content.size());

    EXPECT_EQ(read_header(), HEADER_END);
    EXPECT_EQ(archive_tell(), int64_t(archive.size()));
    EXPECT_TRUE(platform_double.boxes.empty());
}

TEST_F(HeaderReader, EndMarkerFirst) {
    open_archive({0x60, 0xEA, 0, 0});
    EXPECT_EQ(read_header(), HEADER_END);
    EXPECT_EQ(archive_tell(), 4);
}

TEST_F(HeaderReader, ExtendedHeadersArePassedOverByTheirSizePlusCrc) {
    HeaderFields entry = stored_fields("f", to_bytes("xyz"));
    entry.extended = {Bytes(5, 0xAA), Bytes(1, 0x55), Bytes(300, 7)};
    Bytes archive = ArchiveWriter().entry(entry, to_bytes("xyz")).finish();
    open_archive(archive);
    ASSERT_EQ(read_header(), HEADER_READ);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(archive_tell(), int64_t(archive.size() - 4 - 3));
    uint8_t data[3];
    ASSERT_EQ(archive_read(data, 3), 3u);
    EXPECT_EQ(data[0], 'x');
}

TEST_F(HeaderReader, ChangedExtendedHeaderByteGoesUnnoticed) {
    HeaderFields entry = stored_fields("f", {});
    entry.extended = {Bytes(4, 1)};
    Bytes archive = ArchiveWriter().entry(entry, {}).finish();
    // The extended header's first data byte: behind the main header, and the
    // local header's id, size, basic header, CRC and extended size.
    size_t at = header_bytes(main_header_fields()).size() + 4 + basic_header(entry).size() + 4 + 2;
    archive[at] ^= 0xFF;
    open_archive(archive);
    EXPECT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(read_header(), HEADER_END);
}

// Each failure: the message, its owner, the code.
struct Failure {
    const char* why;
    Bytes archive;
    int code;
    const char* message;
    bool owned;
};

Bytes header_with(void (*change)(HeaderFields&)) {
    HeaderFields h = stored_fields("name.bin", {});
    change(h);
    return header_bytes(h);
}

Bytes cut(Bytes b, size_t keep) {
    b.resize(keep);
    return b;
}

TEST_F(HeaderReader, RefusesMalformedHeaders) {
    Bytes good = header_bytes(stored_fields("name.bin", {}));
    Bytes long_basic = {0x60, 0xEA, 0x01, 0x04};  // size 1025
    long_basic.resize(long_basic.size() + 1025 + 4, 0);
    const Failure cases[] = {
        {"empty file", {}, 256, MSG_READ_ARCHIVE, true},
        {"ends inside the identifier", {0x60}, 256, MSG_READ_ARCHIVE, true},
        {"wrong identifier", {'M', 'Z', 0, 0}, 259, MSG_HEADER_ID, true},
        {"identifier byte-swapped", {0xEA, 0x60, 0, 0}, 259, MSG_HEADER_ID, true},
        {"ends inside the size", {0x60, 0xEA, 0x10}, 256, MSG_READ_ARCHIVE, true},
        {"ends inside the basic header", cut(good, 20), 256, MSG_READ_ARCHIVE, false},
        {"ends inside the CRC", cut(good, good.size() - 4), 256, MSG_READ_ARCHIVE, false},
        {"ends before the extended size", cut(good, good.size() - 2), 256, MSG_READ_ARCHIVE, true},
        {"CRC mismatch", header_with([](HeaderFields& h) { h.corrupt_crc = true; }), 258, MSG_HEADER_CRC, true},
        {"basic header above 1024 bytes", long_basic, 259, MSG_HEADER_ID, true},
        {"name offset past the header",
         header_with([](HeaderFields& h) {
             h.first_header_size = 40;
             h.name = "";
             h.name_terminated = false;
         }),
         259, MSG_HEADER_ID, true},
        {"name without a terminator in its header",
         header_with([](HeaderFields& h) { h.name_terminated = false; }), 259, MSG_HEADER_ID, true},
        {"name longer than 511 characters",
         header_with([](HeaderFields& h) { h.name = std::string(512, 'n'); }), 259, MSG_HEADER_ID, true},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.why);
        platform_double.boxes.clear();
        open_archive(c.archive);
        EXPECT_EQ(read_header(), c.code);
        ASSERT_EQ(platform_double.boxes.size(), 1u);
        EXPECT_EQ(platform_double.boxes[0].text, c.message);
        EXPECT_EQ(platform_double.boxes[0].caption, CAPTION);
        EXPECT_EQ(platform_double.boxes[0].style, MB_OK);
        EXPECT_EQ(platform_double.boxes[0].owner, c.owned ? static_cast<void*>(&window) : nullptr);
        archive_close();
    }
}

TEST_F(HeaderReader, LongestNameAndLargestHeaderAreAccepted) {
    HeaderFields h = stored_fields(std::string(511, 'n'), {});
    open_archive(header_bytes(h));
    EXPECT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(std::string(unpack.header_name), std::string(511, 'n'));
    archive_close();

    HeaderFields big = stored_fields("big", {});
    big.comment = std::string(1024 - 30 - 4 - 1, 'c');  // basic header of exactly 1024 bytes
    ASSERT_EQ(basic_header(big).size(), 1024u);
    open_archive(header_bytes(big));
    EXPECT_EQ(read_header(), HEADER_READ);
    EXPECT_STREQ(unpack.header_name, "big");
}

TEST_F(HeaderReader, ShortHeaderTakesNoFieldFromAnEarlierLongerOne) {
    HeaderFields first = stored_fields("first", {});
    first.file_crc = 0x12345678;
    first.compressed_size = 0;
    first.name = std::string(200, 'a');
    HeaderFields second;
    second.first_header_size = 8;  // fields beyond offset 8 are not part of it
    second.name = "b";
    ArchiveWriter w;
    w.entry(first, {}).entry(second, {});
    open_archive(w.finish());
    ASSERT_EQ(read_header(), HEADER_READ);
    ASSERT_EQ(read_header(), HEADER_READ);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_STREQ(unpack.header_name, "b");
    EXPECT_EQ(unpack.header.file_crc, 0u);
    EXPECT_EQ(unpack.header.compressed_size, 0u);
}

}  // namespace
