#include "tools/examine/verify.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "tools/cli/command_line.h"
#include "tools/cli/usage_error.h"
#include "tools/examine/archive_walk.h"
#include "tools/examine/signature.h"
#include "tools/shared/sha256.h"
#include "tools/shared/stubs.h"
#include "tools/shared/terminal_text.h"
#include "tools/system/system_files.h"

const char VERIFY_USAGE[] =
    "  verify INSTALLER.exe [--stub win32|win64|STUB.exe]\n"
    "      Says whether the installer will install and is ours: its first\n"
    "      49152 bytes are a stub this iunpack carries (or the one given)\n"
    "      padded with zero bytes, every entry unpacks as test unpacks it,\n"
    "      setup.exe is among them, and nothing follows the archive but a\n"
    "      signature added after pack (its PE checksum and certificate table\n"
    "      entry aside, everything else is compared byte for byte). Prints\n"
    "      the stub's SHA-256, the prompt and the entries. Exit status 0 only\n"
    "      when all of this holds.\n";

namespace {

// The stub in the installer, as found.
struct StubCheck {
    const Stub* match = nullptr;       // the stub it is, or nullptr
    bool is_signed = false;            // signed after pack: its certificate table entry is set
    CertificateTable certificate{};    // that entry, when signed
};

// Whether byte `i` is one that signing sets in the PE headers.
bool set_by_signing(const SignatureFields& f, size_t i) {
    return i - f.checksum < CHECKSUM_SIZE || i - f.certificate_entry < CERTIFICATE_ENTRY_SIZE;
}

// Where `area` (the installer's stub place) first differs from `stub`
// padded with zero bytes, the bytes signing sets aside when `signing` is
// given; area.size() when it does not.
size_t first_difference(const std::vector<uint8_t>& area, const std::vector<uint8_t>& stub,
                        const SignatureFields* signing) {
    for (size_t i = 0; i < area.size(); i++) {
        uint8_t expected = i < stub.size() ? stub[i] : 0;
        if (area[i] != expected && !(signing && set_by_signing(*signing, i))) return i;
    }
    return area.size();
}

std::string sha_of(const std::vector<uint8_t>& bytes, size_t n) { return sha256_hex(bytes.data(), n); }

// `n` bytes at `offset` of `path`, through the launcher's platform table
// (64-bit positions on every build). False when they are not all there.
bool read_file_range(const char* path, uint64_t offset, size_t n, std::vector<uint8_t>& bytes) {
    const Platform& system = system_platform();
    FileHandle file = system.fopen(path, "rb");
    if (!file) return false;
    bytes.assign(n, 0);
    bool ok = system.fseek(file, int64_t(offset), SEEK_FROM_START) == 0 && system.fread(bytes.data(), 1, n, file) == n;
    system.fclose(file);
    return ok;
}

// Compares the stub place with each candidate (`compared` names them all)
// and prints what it found.
StubCheck check_stub(const std::vector<uint8_t>& area, const std::vector<Stub>& candidates, const std::string& compared) {
    StubCheck found;
    std::vector<size_t> differences;
    for (const Stub& c : candidates) {
        // Signing changes the same places of the headers in the installer
        // as in the stub it started from.
        SignatureFields fields;
        bool has_fields = find_signature_fields(c.bytes, fields);
        CertificateTable table = has_fields ? certificate_table(area, fields) : CertificateTable{};
        bool is_signed = table.offset != 0 || table.size != 0;
        differences.push_back(first_difference(area, c.bytes, is_signed ? &fields : nullptr));
        if (!found.match && differences.back() == area.size()) found = {&c, is_signed, table};
    }
    if (const Stub* m = found.match) {
        printf("stub: matches %s%s, padded with zero bytes to 49152%s\n", m->label.c_str(),
               m->embedded ? ", carried by this iunpack" : "",
               found.is_signed ? ", but for the PE checksum and certificate table entry that signing sets" : "");
        printf("stub SHA-256: %s (%zu bytes)\n", sha_of(m->bytes, m->bytes.size()).c_str(), m->bytes.size());
        return found;
    }
    // The stub in the installer, as long as its own section table says
    // (the whole place when that does not tell).
    size_t extent = pe_file_extent(area);
    printf("stub: DIFFERS from %s\n", compared.c_str());
    printf("stub SHA-256: %s (%zu bytes, %s)\n", sha_of(area, extent ? extent : area.size()).c_str(),
           extent ? extent : area.size(), extent ? "by its PE section table" : "the whole stub place");
    for (size_t i = 0; i < candidates.size(); i++)
        printf("  expected %s: SHA-256 %s (%zu bytes), first difference at byte %zu\n", candidates[i].label.c_str(),
               sha_of(candidates[i].bytes, candidates[i].bytes.size()).c_str(), candidates[i].bytes.size(),
               differences[i]);
    return found;
}

// What follows the archive: nothing, or, in a signed installer, the
// certificate data up to the end of the file, behind fewer than
// CERTIFICATE_ALIGNMENT zero bytes. False (printed) for anything else.
bool check_tail(const char* path, uint64_t archive_end, uint64_t file_size, const StubCheck& stub) {
    if (!stub.is_signed) {
        if (file_size == archive_end) return true;
        printf("after the archive: %s that the launcher never reads and pack never writes\n",
               counted(file_size - archive_end, "byte", "bytes").c_str());
        return false;
    }
    const CertificateTable& t = stub.certificate;
    uint64_t start = t.offset, end = start + t.size;
    std::vector<uint8_t> bytes;
    std::string problem;
    if (start < archive_end) {
        problem = "its certificate data would start at byte " + std::to_string(start) + ", inside the archive";
    } else if (start - archive_end >= CERTIFICATE_ALIGNMENT) {
        problem = counted(start - archive_end, "byte", "bytes") + " lie between the archive and its certificate data";
    } else if (end != file_size || t.size < WIN_CERTIFICATE_HEADER_SIZE) {
        problem = "its certificate data (" + std::to_string(t.size) + " bytes at byte " + std::to_string(start) +
                  ") does not end the file of " + std::to_string(file_size) + " bytes";
    } else if (!read_file_range(path, archive_end, size_t(start - archive_end) + WIN_CERTIFICATE_HEADER_SIZE, bytes)) {
        problem = "its certificate data cannot be read";
    } else {
        for (size_t i = 0; i < start - archive_end; i++)
            if (bytes[i] != 0) problem = "the padding before its certificate data is not zero bytes";
        if (problem.empty() && !is_authenticode_record(&bytes[size_t(start - archive_end)], t.size))
            problem = "its certificate data is no Authenticode signature";
    }
    if (!problem.empty()) {
        printf("signature: DIFFERS from what signing adds: %s\n", problem.c_str());
        return false;
    }
    printf("signed: an Authenticode signature of %u bytes at byte %llu, behind %s of padding (whether it is valid, "
           "and whose, is for a signature check to tell: osslsigncode verify)\n",
           unsigned(t.size), static_cast<unsigned long long>(start), counted(start - archive_end, "zero byte", "zero bytes").c_str());
    return true;
}

}  // namespace

int verify_command(int argc, char** argv) {
    static constexpr CommandOption OPTIONS[] = {{"--stub", "win32, win64 or STUB.exe"}};
    CommandLine line;
    int status;
    if (!parse_command_line("verify", VERIFY_USAGE, argc, argv, OPTIONS, line, status)) return status;
    if (line.operands.size() != 1) return usage_error("verify takes one INSTALLER.exe", "verify");
    const char* installer = line.operands[0];
    const char* stub_choice = line.value("--stub");

    // The stubs to compare with: every one carried, each variant; those of
    // the name given; or the file given.
    std::vector<Stub> candidates;
    for (const EmbeddedStub& e : EMBEDDED_STUBS)
        if (!stub_choice || strcmp(stub_choice, e.name) == 0) candidates.push_back(carried_stub(e));
    if (candidates.empty()) {
        std::string error;
        candidates.emplace_back();
        if (!load_stub(stub_choice, false, candidates.back(), error)) {
            fprintf(stderr, "error: %s\n", error.c_str());
            return 1;
        }
    }
    std::string compared = !stub_choice                ? "every stub this iunpack carries"
                           : candidates.size() == 1    ? candidates[0].label
                                                       : std::string("every ") + stub_choice + " stub this iunpack carries";

    // A regular file: its size tells what follows the archive.
    std::string shown = visible_path(installer);
    FileStatus st;
    std::vector<uint8_t> head;
    if (!file_status(installer, st)) {
        fprintf(stderr, "error: cannot read %s: %s\n", shown.c_str(), strerror(errno));
        return 1;
    }
    if (st.kind != FileKind::regular) {
        fprintf(stderr, "error: %s is not a regular file\n", shown.c_str());
        return 1;
    }
    if (st.size < uint64_t(ARCHIVE_OFFSET) || !read_file_range(installer, 0, size_t(ARCHIVE_OFFSET), head)) {
        fprintf(stderr, "error: %s is shorter than the 49352 bytes of a stub's place and a prompt field\n",
                shown.c_str());
        return 1;
    }
    std::vector<uint8_t> area(head.begin(), head.begin() + PAYLOAD_OFFSET);
    // The launcher's question: up to the first zero byte, the whole field
    // when it has none.
    std::string prompt(head.begin() + PAYLOAD_OFFSET, head.end());
    prompt.resize(strnlen(prompt.c_str(), PROMPT_FIELD_SIZE));

    StubCheck stub = check_stub(area, candidates, compared);
    printf("%s\n", prompt_line(prompt).c_str());
    fflush(stdout);
    TestSummary walked;
    bool opened = test_archive(installer, walked);
    bool tail_ok = !walked.complete || check_tail(installer, walked.archive_end, st.size, stub);

    std::vector<std::string> problems;
    if (!stub.match) problems.push_back("the stub differs from " + compared);
    if (!opened || !walked.complete) problems.push_back("the archive cannot be read to its end marker");
    if (walked.failed) problems.push_back(counted(walked.failed, "entry", "entries") + " would not install");
    if (opened && !walked.setup_found) problems.push_back("setup.exe is not among the entries that install");
    if (!tail_ok) problems.push_back(stub.is_signed ? "the signature is not what signing adds" : "bytes follow the archive");
    if (problems.empty()) {
        printf("verify: ok: the stub is ours, every entry installs and setup.exe is among them\n");
        return 0;
    }
    std::string joined;
    for (const std::string& p : problems) joined += (joined.empty() ? "" : "; ") + p;
    printf("verify: FAILED: %s\n", joined.c_str());
    return 1;
}
