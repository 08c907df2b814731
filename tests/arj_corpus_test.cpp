// Archives made by the Debian archiver with methods 1 to 4 (used only as a
// black box), unpacked by the iunpack tool and compared byte for byte. The
// committed fixtures run everywhere; the generated corpus needs `arj`.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/files.h"

namespace {

using Corpus = std::map<std::string, Bytes>;  // stored path -> content

// Text-like bytes: words from a small vocabulary, deterministic.
Bytes text_bytes(size_t n, uint32_t seed) {
    static const char* const words[] = {"the ", "archive ", "window ", "entry ", "of ", "setup ", "installation ",
                                        "bits ", "and ", "a ", "unpacked ", "header ", ".\n", ", ", "code ", "table "};
    Bytes out;
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 16];
        out.insert(out.end(), w, w + strlen(w));
    }
    out.resize(n);
    return out;
}

Bytes repetitive_bytes(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; i++) out[i] = uint8_t("abcabcabd"[i % 9] + (i / 5000) % 3);
    return out;
}

// The small corpus the fixtures were made from (make_fixtures below).
Corpus fixture_corpus() {
    return {{"empty.dat", {}},
            {"one.bin", {0x5A}},
            {"text.txt", text_bytes(26625, 1)},
            {"random.bin", random_bytes(3000, 2)},
            {"sub/repeat.dat", repetitive_bytes(40000)}};
}

Corpus large_corpus() {
    Corpus corpus = fixture_corpus();
    corpus["w26623.txt"] = text_bytes(26623, 3);
    corpus["w26624.bin"] = random_bytes(26624, 4);
    corpus["w26625.txt"] = text_bytes(26625, 5);
    corpus["sub/deeper/random200k.bin"] = random_bytes(200000, 6);
    corpus["sub/text500k.txt"] = text_bytes(500000, 7);
    corpus["zeros.bin"] = Bytes(300000, 0);
    Bytes mixed = text_bytes(3 << 20, 8);
    Bytes noise = random_bytes(1 << 20, 9);
    mixed.insert(mixed.begin() + (1 << 20), noise.begin(), noise.end());
    corpus["several_mb.dat"] = mixed;
    return corpus;
}

// "m1" to "m4" (built without operator+ on temporaries, which trips a
// false -Wrestrict in GCC 12).
std::string method_label(int method) {
    char label[8];
    snprintf(label, sizeof label, "m%d", method);
    return label;
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class ArjCorpusTest : public ::testing::Test {
public:
    ScratchDir scratch;
    std::string out, err;

    int iunpack(const std::string& arguments) { return run_command(std::string(IUNPACK_TOOL) + " " + arguments, &out, &err); }

    // Extracts `archive` and compares every entry (flat, by base name).
    void expect_reproduced(const std::string& archive, const Corpus& corpus, const std::string& label) {
        ASSERT_EQ(iunpack("test '" + archive + "'"), 0) << label << "\n" << out << err;
        std::string dir = scratch / ("x-" + label);
        ASSERT_EQ(iunpack("extract '" + archive + "' '" + dir + "'"), 0) << label << "\n" << err;
        EXPECT_EQ(list_dir(dir).size(), corpus.size()) << label;
        for (const auto& [path, content] : corpus) {
            Bytes got = read_file(dir + "/" + base_name(path));
            ASSERT_EQ(got.size(), content.size()) << label << " " << path;
            EXPECT_TRUE(got == content) << label << " " << path;
        }
    }
    void write_corpus(const std::string& dir, const Corpus& corpus) {
        make_dir(dir);
        for (const auto& [path, content] : corpus) {
            for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
                if (!exists(dir + "/" + path.substr(0, slash))) make_dir(dir + "/" + path.substr(0, slash));
            write_file(dir + "/" + path, content);
        }
    }
    bool have_arj() { return run_command("command -v arj >/dev/null") == 0; }
    std::string make_archive(const std::string& src, int method) {
        std::string archive = scratch / (method_label(method) + ".arj");
        EXPECT_EQ(run_command("cd '" + src + "' && arj a -y -r -m" + std::to_string(method) + " '" + archive + "' >/dev/null"), 0);
        return archive;
    }
};

TEST_F(ArjCorpusTest, CommittedFixturesOfEveryMethod) {
    for (int method = 1; method <= 4; method++) {
        std::string archive = std::string(IUNPACK_SOURCE_DIR) + "/tests/fixtures/" + method_label(method) + ".arj";
        ASSERT_TRUE(exists(archive)) << archive;
        expect_reproduced(archive, fixture_corpus(), "fixture-" + method_label(method));
    }
}

TEST_F(ArjCorpusTest, GeneratedCorpusOfEveryMethod) {
    if (!have_arj()) GTEST_SKIP() << "arj is not installed";
    Corpus corpus = large_corpus();
    std::string src = scratch / "src";
    write_corpus(src, corpus);
    for (int method = 1; method <= 4; method++)
        expect_reproduced(make_archive(src, method), corpus, method_label(method));
}

// Not a test: regenerates tests/fixtures/m1.arj to m4.arj from
// fixture_corpus(). Run with --gtest_also_run_disabled_tests.
TEST_F(ArjCorpusTest, DISABLED_MakeFixtures) {
    ASSERT_TRUE(have_arj());
    std::string src = scratch / "src";
    write_corpus(src, fixture_corpus());
    for (int method = 1; method <= 4; method++)
        ASSERT_EQ(run_command("cp '" + make_archive(src, method) + "' '" + IUNPACK_SOURCE_DIR + "/tests/fixtures/'"), 0);
}

}  // namespace
