// The stubs iunpack carries and `iunpack verify`: pack's default stub is
// the win32 stub this build made, byte for byte; verify tells a matching
// stub from a changed one, by the carried stubs or a given one, tests every
// entry, and recognises a signature added after pack.
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
    EXPECT_TRUE(out.ends_with("ok     setup.exe\n1 entry, 0 failed\nverify: ok: the stub is ours, every entry installs "
                              "and setup.exe is among them\n"))
        << out;

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
        EXPECT_TRUE(out.ends_with("1 entry, 0 failed\nverify: FAILED: the stub differs from every stub this iunpack carries\n")) << out;
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

// An installer made with the carried win32 stub, whatever its archive.
Bytes carried_installer(const Bytes& archive, const std::string& prompt) {
    Bytes installer = read_file(IUNPACK_STUB_WIN32);
    installer.resize(49152, 0);
    Bytes field = to_bytes(prompt);
    field.resize(200, 0);
    installer.insert(installer.end(), field.begin(), field.end());
    installer.insert(installer.end(), archive.begin(), archive.end());
    return installer;
}

// "Will this install?": every entry tested as test tests it, setup.exe
// among them, nothing after the archive; the prompt shown as list shows it.
TEST_F(Verify, EveryEntryIsTestedAndNothingMayFollowTheArchive) {
    Bytes setup = to_bytes("MZ setup");
    HeaderFields locked = stored_fields("setup.exe", setup);
    locked.flags = 1;
    HeaderFields damaged = stored_fields("setup.exe", setup);
    damaged.file_crc ^= 1;
    struct Row {
        const char* why;
        Bytes archive;
        Bytes after;
        int status;
        const char* last_lines;
    } rows[] = {
        {"a sound installer", ArchiveWriter().stored("Setup.EXE", setup).finish(), {}, 0,
         "ok     Setup.EXE\n1 entry, 0 failed\nverify: ok: the stub is ours, every entry installs and setup.exe is "
         "among them\n"},
        {"a passworded setup.exe", ArchiveWriter().entry(locked, setup).finish(), {}, 1,
         "FAILED setup.exe\n1 entry, 1 failed\nverify: FAILED: 1 entry would not install; setup.exe is not among the "
         "entries that install\n"},
        {"a bad CRC", ArchiveWriter().stored("a.txt", to_bytes("a")).entry(damaged, setup).finish(), {}, 1,
         "FAILED setup.exe\n2 entries, 1 failed\nverify: FAILED: 1 entry would not install; setup.exe is not among "
         "the entries that install\n"},
        {"bytes after the end marker", ArchiveWriter().stored("setup.exe", setup).finish(), {0, 0, 0}, 1,
         "1 entry, 0 failed\nafter the archive: 3 bytes that the launcher never reads and pack never writes\n"
         "verify: FAILED: bytes follow the archive\n"},
    };
    for (const Row& row : rows) {
        Bytes installer = carried_installer(row.archive, "Install \x1b\"it\"?");
        installer.insert(installer.end(), row.after.begin(), row.after.end());
        write_file(dir / "i.exe", installer);
        EXPECT_EQ(tool("verify " + (dir / "i.exe")), row.status) << row.why;
        EXPECT_NE(out.find("\nprompt: \"Install \\x1b\\\"it\\\"?\"\n"), std::string::npos) << out;
        EXPECT_TRUE(out.ends_with(row.last_lines)) << row.why << "\n" << out;
    }
}

// Signed after pack by a real signing tool with a throwaway certificate:
// signing sets the PE checksum and the certificate table entry and appends
// the certificate data behind up to 7 zero bytes; everything else is still
// compared byte for byte.
TEST_F(Verify, ASignatureAddedAfterPackIsRecognised) {
    ASSERT_EQ(run_command("command -v osslsigncode && command -v openssl"), 0)
        << "osslsigncode and openssl are needed: scripts/install-deps.sh installs them";
    std::string installer = dir / "i.exe", signed_installer = dir / "signed.exe";
    ASSERT_EQ(tool("pack " + (dir / "f") + " -o " + installer), 0) << out;
    ASSERT_EQ(run_command("cd '" + dir.path + "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=throwaway "
                          "-keyout key.pem -out cert.pem && osslsigncode sign -certs cert.pem -key key.pem -in i.exe "
                          "-out signed.exe"),
              0);
    ASSERT_EQ(tool("verify " + signed_installer), 0) << out;
    EXPECT_NE(out.find("stub: matches the win32 stub (i686, the product), carried by this iunpack, padded with zero "
                       "bytes to 49152, but for the PE checksum and certificate table entry that signing sets\n"),
              std::string::npos)
        << out;
    size_t padding = (8 - read_file(installer).size() % 8) % 8;
    EXPECT_NE(out.find("\nsigned: an Authenticode signature of "), std::string::npos) << out;
    EXPECT_NE(out.find(", behind " + std::to_string(padding) + " zero byte"), std::string::npos) << out;

    // Any other change is still a difference: a byte of the stub, or one
    // behind the certificate data.
    Bytes changed = read_file(signed_installer);
    changed[1000] ^= 1;
    write_file(dir / "changed.exe", changed);
    EXPECT_EQ(tool("verify " + (dir / "changed.exe")), 1) << out;
    EXPECT_NE(out.find("first difference at byte 1000"), std::string::npos) << out;
    Bytes longer = read_file(signed_installer);
    longer.push_back(0);
    write_file(dir / "longer.exe", longer);
    EXPECT_EQ(tool("verify " + (dir / "longer.exe")), 1) << out;
    EXPECT_NE(out.find("signature: DIFFERS from what signing adds: its certificate data"), std::string::npos) << out;
}

}  // namespace
