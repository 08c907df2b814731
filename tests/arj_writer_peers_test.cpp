// Archives of the writer read by the other programs of the format, run as
// black boxes: `arj t`/`arj e` and `7zz t`/`7zz e` must accept every one
// and give back every file byte for byte.
#include <gtest/gtest.h>

#include <cstdio>

#include "encode/arj_writer.h"
#include "tests/support/corpus.h"
#include "tests/support/files.h"

namespace {

// "m0" and the like (snprintf: operator+ on temporaries trips a false
// -Wrestrict in GCC 12).
std::string label_of(const char* prefix, int method) {
    char label[32];
    snprintf(label, sizeof label, "%s%d", prefix, method);
    return label;
}

class ArjWriterPeers : public ::testing::Test {
public:
    ScratchDir scratch;
    std::string out, err;

    static bool have(const char* tool) { return run_command(std::string("command -v ") + tool + " >/dev/null") == 0; }

    std::string write_archive(const Corpus& corpus, uint8_t method, uint32_t time) {
        std::string path = scratch / (label_of("m", method) + ".arj");
        FILE* file = fopen(path.c_str(), "w+b");
        EXPECT_TRUE(file);
        FileSink sink(file);
        ArjWriter writer(sink);
        EXPECT_TRUE(writer.begin("peers.arj", time));
        for (const auto& [name, content] : corpus) {
            MemorySource source(content.data(), content.size());
            EntryOptions options;
            options.name = name;
            options.method = method;
            options.dos_time = time;
            EXPECT_TRUE(writer.add(options, source)) << writer.error();
        }
        EXPECT_TRUE(writer.finish());
        EXPECT_EQ(fclose(file), 0);
        return path;
    }

    void expect_files(const std::string& dir, const Corpus& corpus, const std::string& label) {
        EXPECT_EQ(list_dir(dir).size(), corpus.size()) << label;
        for (const auto& [path, content] : corpus) {
            Bytes got = read_file(dir + "/" + base_name(path));
            ASSERT_EQ(got.size(), content.size()) << label << " " << path;
            EXPECT_TRUE(got == content) << label << " " << path;
        }
    }
};

TEST_F(ArjWriterPeers, ArjAndSevenZipReproduceEveryFile) {
    if (!have("arj") || !have("7zz")) GTEST_SKIP() << "arj or 7zz is not installed";
    Corpus corpus = large_corpus();
    Bytes block = random_bytes(26624, 11), periodic;
    for (int i = 0; i < 3; i++) periodic.insert(periodic.end(), block.begin(), block.end());
    corpus["periodic.bin"] = periodic;  // matches from as far back as the window reaches
    Bytes records;
    for (uint32_t i = 0; records.size() < 400000; i++) {
        uint32_t record[4] = {i * 37, i % 7 == 0 ? 65535u : 7u, i & 0xFF, 0x12345678};
        records.insert(records.end(), reinterpret_cast<uint8_t*>(record), reinterpret_cast<uint8_t*>(record + 4));
    }
    corpus["records.bin"] = records;
    const uint32_t time = dos_time(2024, 3, 5, 14, 22, 36);
    for (uint8_t method : {0, 1, 4}) {
        std::string label = label_of("method ", method);
        std::string archive = write_archive(corpus, method, time);
        ASSERT_EQ(run_command("arj t '" + archive + "'", &out, &err), 0) << label << "\n" << out << err;
        std::string arj_dir = scratch / label_of("arj-", method);
        make_dir(arj_dir);
        ASSERT_EQ(run_command("arj e -y '" + archive + "' '" + arj_dir + "/'", &out, &err), 0) << label << out;
        expect_files(arj_dir, corpus, label + " arj");

        ASSERT_EQ(run_command("7zz t '" + archive + "'", &out, &err), 0) << label << "\n" << out << err;
        std::string seven_dir = scratch / label_of("7zz-", method);
        ASSERT_EQ(run_command("7zz e -y '-o" + seven_dir + "' '" + archive + "'", &out, &err), 0) << label << out;
        expect_files(seven_dir, corpus, label + " 7zz");
        ASSERT_EQ(run_command("7zz l '" + archive + "'", &out, &err), 0);
        EXPECT_NE(out.find("2024-03-05 14:22:36"), std::string::npos) << out;
    }
}

}  // namespace
