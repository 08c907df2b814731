// Archives made by the Debian archiver with methods 1 to 4 (used only as a
// black box), unpacked by the iunpack tool and compared byte for byte. The
// committed fixtures run everywhere; the generated corpus needs `arj`.
#include <gtest/gtest.h>

#include "tests/support/corpus.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"

namespace {

// "m1" to "m4" (built without operator+ on temporaries, which trips a
// false -Wrestrict in GCC 12).
std::string method_label(int method) {
    char label[8];
    snprintf(label, sizeof label, "m%d", method);
    return label;
}

class ArjCorpusTest : public ::testing::Test {
public:
    ScratchDir scratch;
    std::string out, err;

    int iunpack(const std::string& arguments) { return run_iunpack(arguments, &out, &err); }

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
