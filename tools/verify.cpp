#include "tools/verify.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "tools/archive_walk.h"
#include "tools/sha256.h"
#include "tools/stubs.h"
#include "tools/terminal_text.h"
#include "tools/usage_error.h"

namespace {

// Where `area` (the installer's first PAYLOAD_OFFSET bytes) first differs
// from `stub` padded with zero bytes; PAYLOAD_OFFSET when it does not.
size_t first_difference(const std::vector<uint8_t>& area, const std::vector<uint8_t>& stub) {
    size_t n = stub.size() < area.size() ? stub.size() : area.size();
    for (size_t i = 0; i < n; i++)
        if (area[i] != stub[i]) return i;
    if (stub.size() > area.size()) return area.size();
    for (size_t i = n; i < area.size(); i++)
        if (area[i] != 0) return i;
    return area.size();
}

std::string sha_of(const std::vector<uint8_t>& bytes, size_t n) { return sha256_hex(bytes.data(), n); }

}  // namespace

int verify_command(int argc, char** argv) {
    const char* installer = nullptr;
    const char* stub_choice = nullptr;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--stub") == 0) {
            if (++i == argc) return usage_error("--stub needs win32, win64 or STUB.exe", "verify");
            stub_choice = argv[i];
        } else if (argv[i][0] == '-' && argv[i][1] != 0) {
            return usage_error("unknown option", "verify");
        } else if (installer) {
            return usage_error("more than one INSTALLER", "verify");
        } else {
            installer = argv[i];
        }
    }
    if (!installer) return usage_error("missing INSTALLER", "verify");

    // The stubs to compare with: the one named, or every one carried.
    std::vector<Stub> candidates;
    std::string error;
    if (stub_choice) {
        candidates.emplace_back();
        if (!load_stub(stub_choice, false, candidates.back(), error)) {
            fprintf(stderr, "error: %s\n", error.c_str());
            return 1;
        }
    } else {
        for (const EmbeddedStub& e : EMBEDDED_STUBS) {
            candidates.emplace_back();
            load_stub(e.name, e.administrator, candidates.back(), error);
        }
    }

    std::vector<uint8_t> area(static_cast<size_t>(PAYLOAD_OFFSET));
    FILE* f = fopen(installer, "rb");
    size_t got = f ? fread(area.data(), 1, area.size(), f) : 0;
    if (!f || got != area.size()) {
        fprintf(stderr, "error: %s: %s\n", visible_path(installer).c_str(),
                !f ? strerror(errno) : "shorter than the 49152 bytes of the stub's place");
        if (f) fclose(f);
        return 1;
    }
    fclose(f);

    const Stub* match = nullptr;
    for (const Stub& c : candidates)
        if (!match && first_difference(area, c.bytes) == area.size()) match = &c;
    if (match) {
        printf("stub: matches %s%s, padded with zero bytes to 49152\n", visible_text(match->label.c_str()).c_str(),
               match->embedded ? ", carried by this iunpack" : "");
        printf("stub SHA-256: %s (%zu bytes)\n", sha_of(match->bytes, match->bytes.size()).c_str(),
               match->bytes.size());
    } else {
        // The stub in the installer, as long as its own section table says
        // (the whole place when that does not tell).
        size_t extent = pe_file_extent(area);
        printf("stub: DIFFERS from %s\n",
               stub_choice ? visible_text(candidates[0].label.c_str()).c_str() : "every stub this iunpack carries");
        printf("stub SHA-256: %s (%zu bytes, %s)\n", sha_of(area, extent ? extent : area.size()).c_str(),
               extent ? extent : area.size(), extent ? "by its PE section table" : "the whole stub place");
        for (const Stub& c : candidates)
            printf("  expected %s: SHA-256 %s (%zu bytes), first difference at byte %zu\n",
                   visible_text(c.label.c_str()).c_str(), sha_of(c.bytes, c.bytes.size()).c_str(), c.bytes.size(),
                   first_difference(area, c.bytes));
    }
    fflush(stdout);
    int listed = list_archive(installer);
    return match && listed == 0 ? 0 : 1;
}
