// The archive writer: every header field as the reader takes it, entries
// that are refused without spoiling the archive, and the round trip of
// both coders through the decoders over data that reaches their corners.
#include "encode/arj_writer.h"

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/little_endian.h"
#include "encode/chunked_coding.h"
#include "encode/memory_coding.h"
#include "tests/support/corpus.h"
#include "tests/support/decoder_run.h"
#include "tests/support/double_fixture.h"

namespace {

// Fails every write once `limit` bytes have gone.
class FailingSink : public MemorySink {
public:
    explicit FailingSink(size_t limit) : limit_(limit) {}
    bool write(const uint8_t* p, size_t n) override { return bytes.size() + n <= limit_ && MemorySink::write(p, n); }

private:
    size_t limit_;
};

// `size` bytes of zeros without holding them, and a sink that only counts.
class HugeSource : public EntrySource {
public:
    explicit HugeSource(uint64_t size) : left_(size) {}
    size_t read(uint8_t* buffer, size_t n) override {
        size_t take = n < left_ ? n : size_t(left_);
        memset(buffer, 0, take);
        left_ -= take;
        return take;
    }
    bool rewind() override { return false; }
    bool failed() const override { return false; }

private:
    uint64_t left_;
};
class CountingSink : public ByteSink {
public:
    uint64_t end = 0;
    bool write(const uint8_t*, size_t n) override {
        end += n;
        return true;
    }
    bool rewrite(uint64_t, const uint8_t*, size_t) override { return true; }
    bool truncate(uint64_t size) override {
        end = size;
        return true;
    }
    uint64_t size() const override { return end; }
};

class ArjWriterTest : public DoubleTest {
protected:
    void SetUp() override {
        DoubleTest::SetUp();
        make_dir(scratch / "out");
        snprintf(unpack.work_dir, PATH_SIZE, "%s", extract_dir().c_str());
    }
};

TEST_F(ArjWriterTest, EveryHeaderFieldAsTheReaderTakesIt) {
    const uint32_t made = dos_time(2024, 3, 5, 14, 22, 36);
    EXPECT_EQ(made, 0x586572D2u);  // date 2024-03-05, time 14:22:36 (seconds halved)
    EXPECT_EQ(dos_time(1975, 6, 1, 1, 1, 1), 0x00210000u);  // before 1980: the first DOS day

    Bytes text = text_bytes(50000, 3), noise = random_bytes(5000, 4);
    MemorySink sink;
    ArjWriter writer(sink);
    ASSERT_TRUE(writer.begin("setup.arj", made, "made by the tests"));
    struct Entry {
        EntryOptions options;
        const Bytes* content;
        uint8_t method;  // as written: noise and the empty entry are stored
    };
    Bytes empty;
    const Entry entries[] = {
        {{"docs/read me.txt", 1, made + 1, 0x21, "first"}, &text, 1},
        {{"fast.txt", 4, made, 0x20, ""}, &text, 4},
        {{"noise.bin", 1, made, 0x20, ""}, &noise, 0},
        {{"empty", 4, made, 0x20, ""}, &empty, 0},
    };
    std::vector<EntryResult> results;
    for (const Entry& e : entries) {
        MemorySource source(e.content->data(), e.content->size());
        EntryResult result;
        ASSERT_TRUE(writer.add(e.options, source, &result)) << writer.error();
        results.push_back(result);
    }
    ASSERT_TRUE(writer.finish());
    open_archive(sink.bytes);

    ASSERT_EQ(read_header(), HEADER_READ);
    const uint8_t* raw = unpack.header.raw;
    EXPECT_EQ(Bytes(raw, raw + 8), Bytes({30, 11, 1, 0, 0, 0, 2, 0}));
    EXPECT_EQ(le_u32(raw + 8), made);
    EXPECT_EQ(le_u32(raw + 12), made);
    EXPECT_EQ(Bytes(raw + 16, raw + 30), Bytes(14, 0));
    EXPECT_STREQ(unpack.header_name, "setup.arj");
    EXPECT_STREQ(reinterpret_cast<const char*>(raw) + 30 + 10, "made by the tests");

    for (size_t i = 0; i < std::size(entries); i++) {
        const Entry& e = entries[i];
        SCOPED_TRACE(e.options.name);
        ASSERT_EQ(read_header(), HEADER_READ);
        const HeaderRecord& h = unpack.header;
        EXPECT_EQ(Bytes(raw, raw + 8), Bytes({30, 11, 1, 0, 0, e.method, 0, 0}));
        EXPECT_EQ(le_u32(raw + 8), e.options.dos_time);
        EXPECT_EQ(h.original_size, e.content->size());
        EXPECT_EQ(h.file_crc, crc_of(*e.content));
        EXPECT_EQ(results[i].method, e.method);
        EXPECT_EQ(results[i].compressed_size, h.compressed_size);
        EXPECT_EQ(results[i].crc, h.file_crc);
        if (e.method == 0) EXPECT_EQ(h.compressed_size, h.original_size);
        else EXPECT_LT(h.compressed_size, h.original_size);
        EXPECT_EQ(h.entry_name_pos, e.options.name.rfind('/') + 1);
        EXPECT_EQ(le_u16(raw + 26), e.options.attributes);
        EXPECT_EQ(le_u16(raw + 28), 0);
        EXPECT_EQ(unpack.header_name, e.options.name);
        EXPECT_EQ(reinterpret_cast<const char*>(raw) + 30 + e.options.name.size() + 1, e.options.comment);
        int64_t data_at = archive_tell();
        ASSERT_EQ(extract_entry(), 0);
        EXPECT_EQ(archive_tell(), data_at + int64_t(results[i].compressed_size)) << "the stream stands at the next header";
        EXPECT_EQ(read_file(extract_dir() + base_name(e.options.name)), *e.content);
    }
    EXPECT_EQ(read_header(), HEADER_END);
    EXPECT_EQ(archive_tell(), int64_t(sink.bytes.size()));
    EXPECT_TRUE(platform_double.boxes.empty());
}

TEST_F(ArjWriterTest, RefusedEntriesLeaveTheArchiveWhole) {
    Bytes content = text_bytes(20000, 1);
    MemorySink sink;
    ArjWriter writer(sink);
    ASSERT_TRUE(writer.begin("a.arj", 0));
    auto add = [&](const std::string& name, uint8_t method, EntrySource& source) {
        EntryOptions options;
        options.name = name;
        options.method = method;
        return writer.add(options, source);
    };
    MemorySource memory(content.data(), content.size());
    EXPECT_FALSE(add("", 1, memory));
    EXPECT_FALSE(add(std::string(512, 'n'), 1, memory));
    EXPECT_FALSE(add(std::string("a\0b", 3), 1, memory));
    EXPECT_FALSE(add("two.bin", 2, memory));
    EXPECT_NE(writer.error().find("two.bin"), std::string::npos) << writer.error();
    FileSource missing(scratch / "missing");
    EXPECT_FALSE(add("missing", 1, missing));
    EXPECT_NE(writer.error().find("missing"), std::string::npos);
    ASSERT_TRUE(add(std::string(511, 'n'), 1, memory)) << writer.error();
    ASSERT_TRUE(writer.finish());

    open_archive(sink.bytes);
    ASSERT_EQ(read_header(), HEADER_READ);
    ASSERT_EQ(read_header(), HEADER_READ);
    EXPECT_EQ(strlen(unpack.header_name), 511u);
    EXPECT_EQ(unpack.header.original_size, content.size());
    archive_skip(unpack.header.compressed_size);
    EXPECT_EQ(read_header(), HEADER_END);

    // Sizes past the 32-bit fields, and a failed write, are refused too.
    CountingSink counting;
    ArjWriter big(counting);
    ASSERT_TRUE(big.begin("big.arj", 0));
    uint64_t before = counting.size();
    HugeSource huge(uint64_t(1) << 32);
    EntryOptions options;
    options.name = "huge.bin";
    options.method = 0;
    EXPECT_FALSE(big.add(options, huge));
    EXPECT_NE(big.error().find("4 GiB"), std::string::npos) << big.error();
    EXPECT_EQ(counting.size(), before);

    FailingSink failing(4000);
    ArjWriter broken(failing);
    ASSERT_TRUE(broken.begin("x.arj", 0));
    MemorySource again(content.data(), content.size());
    options.name = "x.bin";
    EXPECT_FALSE(broken.add(options, again));
    EXPECT_EQ(broken.error(), "cannot write the archive");
}

// An installer's archive follows its stub and prompt field in the same
// file: the sink rewrites headers and drops stored-over data behind them
// without touching what came before.
TEST_F(ArjWriterTest, FileSinkWritesBehindWhatTheFileHolds) {
    Bytes noise = random_bytes(300000, 5), text = text_bytes(300000, 6);
    auto write_archive = [&](ByteSink& sink) {
        ArjWriter writer(sink);
        ASSERT_TRUE(writer.begin("setup.arj", 0));
        for (const Bytes* content : {&noise, &text, &noise}) {
            MemorySource source(content->data(), content->size());
            EntryOptions options;
            options.name = "entry";
            ASSERT_TRUE(writer.add(options, source));
        }
        ASSERT_TRUE(writer.finish());
    };
    MemorySink memory;
    write_archive(memory);
    Bytes prefix = random_bytes(ARCHIVE_OFFSET, 7);
    std::string path = scratch / "installer.exe";
    FILE* file = fopen(path.c_str(), "w+b");
    ASSERT_TRUE(file);
    ASSERT_EQ(fwrite(prefix.data(), 1, prefix.size(), file), prefix.size());
    FileSink sink(file);
    write_archive(sink);
    EXPECT_EQ(sink.size(), memory.bytes.size());
    ASSERT_EQ(fclose(file), 0);
    Bytes expected = prefix;
    expected.insert(expected.end(), memory.bytes.begin(), memory.bytes.end());
    EXPECT_TRUE(read_file(path) == expected);
}

// Both coders through the decoders: output, CRC, and every byte of the
// entry's data taken, none behind it.
TEST_F(ArjWriterTest, RoundTripsThroughTheDecoders) {
    std::vector<Bytes> cases = {Bytes(), Bytes(1, 0x41), Bytes(2, 0), to_bytes("abc"), to_bytes("abcabcabcabc")};
    for (size_t size : {size_t(255), size_t(256), size_t(257), size_t(26623), size_t(26624), size_t(26625)}) {
        cases.push_back(text_bytes(size, uint32_t(size)));
        cases.push_back(random_bytes(size, uint32_t(size)));
    }
    Bytes block = random_bytes(26624, 7), periodic;
    for (int i = 0; i < 3; i++) periodic.insert(periodic.end(), block.begin(), block.end());  // the farthest match
    cases.push_back(periodic);
    Bytes runs;
    for (uint32_t i = 0; runs.size() < 700000; i++) runs.insert(runs.end(), 1 + i * 7919 % 700, uint8_t(i % 3));
    cases.push_back(runs);
    cases.push_back(Bytes(70000, 0xFF));
    Bytes mixed = text_bytes(3 << 20, 8), noise = random_bytes(1 << 19, 9);
    mixed.insert(mixed.begin() + (1 << 20), noise.begin(), noise.end());
    cases.push_back(mixed);
    for (uint8_t method : {1, 4}) {
        for (const Bytes& data : cases) {
            SCOPED_TRACE(::testing::Message() << "method " << int(method) << ", " << data.size() << " bytes");
            DecoderCase c;
            c.method = method;
            c.data = compress_bytes(method, data.data(), data.size());
            c.original_size = uint32_t(data.size());
            c.after = to_bytes("next");
            DecoderRun run = run_decoder(*this, c);
            ASSERT_EQ(run.result, 0);
            ASSERT_TRUE(run.output == data);
            EXPECT_EQ(run.crc, crc_of(data));
            EXPECT_EQ(run.position, int64_t(c.data.size()));
            EXPECT_TRUE(run.messages.empty());
        }
    }
}

// The chunks are coded on their own and joined at any bit; the result must
// not depend on how many threads coded them.
TEST_F(ArjWriterTest, ChunksJoinTheSameOnAnyNumberOfThreads) {
    Bytes data = text_bytes(CHUNK_SIZE * 5 / 2, 21), noise = random_bytes(CHUNK_SIZE, 22);
    data.insert(data.begin() + CHUNK_SIZE - 100, noise.begin(), noise.end());
    for (uint8_t method : {1, 4}) {
        std::vector<Bytes> coded;
        for (unsigned threads : {1u, 3u}) {
            MemorySource source(data.data(), data.size());
            MemorySink sink;
            EntryStreams io(source, sink, nullptr);
            ASSERT_TRUE(method == 1 ? encode_in_chunks(io, encode_lz_huffman_chunk, threads, even_chunk_size(data.size()))
                                    : encode_in_chunks(io, encode_method4_chunk, threads, CHUNK_SIZE));
            coded.push_back(sink.bytes);
        }
        EXPECT_TRUE(coded[0] == coded[1]) << "method " << int(method);
        EXPECT_TRUE(coded[0] == compress_bytes(method, data.data(), data.size()));
    }
}

}  // namespace
