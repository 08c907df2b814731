// The stubs iunpack carries and `iunpack verify`: pack's default stub is
// the win32 stub this build made, byte for byte; verify tells a matching
// stub from a changed one, by the carried stubs or a given one.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/archive_writer.h"
#include "tests/support/files.h"
#include "tests/support/iunpack_run.h"

namespace {

class Verify : public testing::Test {
protected:
    void SetUp() override {
        make_dir(dir / "f");
        write_file(dir / "f/setup.exe", to_bytes("MZ setup"));
    }
    int tool(const std::string& args) { return run_iunpack(args, &out); }
    std::string sha256_of(const std::string& path) {
        std::string sum;
        EXPECT_EQ(run_command("sha256sum '" + path + "'", &sum), 0);
        return sum.substr(0, 64);
    }
    // The installer's stub place: the stub, then zero bytes to 49152.
    void expect_stub_place(const Bytes& installer, const std::string& stub_path) {
        Bytes place(installer.begin(), installer.begin() + 49152);
        Bytes stub = read_file(stub_path);
        stub.resize(49152, 0);
        EXPECT_TRUE(place == stub) << stub_path;
    }

    ScratchDir dir;
    std::string out;
};

TEST_F(Verify, CarriedStubsMatchAndAChangedByteDoesNot) {
    std::string installer = dir / "i.exe";
    ASSERT_EQ(tool("pack " + (dir / "f") + " -o " + installer), 0) << out;
    expect_stub_place(read_file(installer), IUNPACK_STUB_WIN32);
    ASSERT_EQ(tool("verify " + installer), 0) << out;
    EXPECT_NE(out.find("stub: matches the win32 stub (i686, the product)"), std::string::npos) << out;
    EXPECT_NE(out.find("stub SHA-256: " + sha256_of(IUNPACK_STUB_WIN32)), std::string::npos) << out;
    EXPECT_TRUE(out.ends_with(" setup.exe\n")) << out;

    ASSERT_EQ(tool("pack --stub win64 " + (dir / "f") + " -o " + installer), 0) << out;
    expect_stub_place(read_file(installer), IUNPACK_STUB_WIN64);
    ASSERT_EQ(tool("verify " + installer), 0) << out;
    EXPECT_NE(out.find("stub: matches the win64 stub"), std::string::npos) << out;
    EXPECT_EQ(tool("verify " + installer + " --stub win32"), 1) << out;

    // The administrator variant: the same stub but for the manifest's level.
    ASSERT_EQ(tool("pack --admin " + (dir / "f") + " -o " + installer), 0) << out;
    Bytes admin = read_file(installer);
    std::string text(admin.begin(), admin.end());
    size_t at = text.find("level=\"requireAdministrator\" ");
    ASSERT_NE(at, std::string::npos);
    std::string as_invoker = "level=\"asInvoker\"            ";
    std::copy(as_invoker.begin(), as_invoker.end(), admin.begin() + long(at));
    expect_stub_place(admin, IUNPACK_STUB_WIN32);
    ASSERT_EQ(tool("verify " + installer), 0) << out;
    EXPECT_NE(out.find("stub: matches the win32 stub (i686, the product, administrator variant)"), std::string::npos)
        << out;
    EXPECT_EQ(tool("pack --admin --stub " + std::string(IUNPACK_STUB_WIN64) + " " + (dir / "f") + " -o " + installer),
              1);

    // One byte in the stub, one in its padding.
    for (size_t at : {size_t(1000), size_t(49151)}) {
        Bytes changed = read_file(installer);
        changed[at] ^= 0x20;
        write_file(dir / "changed.exe", changed);
        EXPECT_EQ(tool("verify " + (dir / "changed.exe")), 1) << at;
        EXPECT_NE(out.find("stub: DIFFERS from every stub this iunpack carries"), std::string::npos) << out;
        EXPECT_NE(out.find("first difference at byte " + std::to_string(at)), std::string::npos) << out;
        EXPECT_TRUE(out.ends_with(" setup.exe\n")) << out;  // the entries all the same
    }
}

TEST_F(Verify, AGivenStub) {
    Bytes stub = pe_stub(600);
    write_file(dir / "stub.exe", stub);
    std::string installer = dir / "i.exe";
    ASSERT_EQ(tool("pack --stub " + (dir / "stub.exe") + " " + (dir / "f") + " -o " + installer), 0) << out;
    EXPECT_EQ(tool("verify " + installer), 1) << out;
    ASSERT_EQ(tool("verify " + installer + " --stub " + (dir / "stub.exe")), 0) << out;
    EXPECT_NE(out.find("stub SHA-256: " + sha256_of(dir / "stub.exe") + " (600 bytes)"), std::string::npos) << out;
    stub[599] = 1;  // a byte where the installer has padding
    write_file(dir / "other.exe", stub);
    EXPECT_EQ(tool("verify " + installer + " --stub " + (dir / "other.exe")), 1) << out;
    EXPECT_NE(out.find("first difference at byte 599"), std::string::npos) << out;
    write_file(dir / "short.exe", Bytes(49151, 0));
    EXPECT_EQ(tool("verify " + (dir / "short.exe")), 1) << out;
}

}  // namespace
