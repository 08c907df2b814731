// The author's side of the layout: stub padded to PAYLOAD_OFFSET, the
// prompt field, the archive as it is. The archive is checked with the
// stub's own header reader and entry rules, so that what the stub would
// refuse is refused here, before anyone ships it.
#include "tools/pack.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/crc32.h"
#include "common/unpack_state.h"
#include "shell/install_driver.h"
#include "shell/platform_posix.h"

namespace {

// The shortest working directory a Windows system can give ("C:\" and the
// working-directory name): a longer name never fits a path buffer.
constexpr size_t SHORTEST_WORK_DIR = 3 + sizeof WORK_DIR_NAME - 1;
constexpr size_t ENTRY_NAME_MAX = PATH_SIZE - 1 - SHORTEST_WORK_DIR;
constexpr size_t PE_HEADER_OFFSET_FIELD = 0x3C;

struct PackOptions {
    const char* stub = nullptr;
    const char* prompt = nullptr;
    const char* prompt_file = nullptr;
    const char* archive = nullptr;
    const char* output = nullptr;
    bool force = false;
};

// What the stub's checks would have shown in a message box.
std::string last_message;
Platform checking_table;

int record_message(WindowHandle, const char* text, const char*, uint32_t) {
    last_message = text;
    return 1;
}

void error(const char* format, const char* a = "", const char* b = "") {
    fputs("iunpack pack: error: ", stderr);
    fprintf(stderr, format, a, b);
    fputc('\n', stderr);
}

void warning(const char* format, const char* a = "", const char* b = "") {
    fputs("iunpack pack: warning: ", stderr);
    fprintf(stderr, format, a, b);
    fputs(" (packed anyway: --force)\n", stderr);
}

// A content problem: refused, or with --force only reported.
bool content_problem(bool force, const char* format, const char* a = "", const char* b = "") {
    if (!force) {
        error(format, a, b);
        return false;
    }
    warning(format, a, b);
    return true;
}

bool read_file(const char* path, std::vector<char>& bytes) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

// An MZ header whose e_lfanew points at a "PE\0\0" signature inside the file.
bool is_pe(const std::vector<char>& stub) {
    if (stub.size() < PE_HEADER_OFFSET_FIELD + 4 || stub[0] != 'M' || stub[1] != 'Z') return false;
    uint32_t pe = 0;
    for (int i = 3; i >= 0; i--) pe = pe << 8 | uint8_t(stub[PE_HEADER_OFFSET_FIELD + i]);
    return pe <= stub.size() - 4 && memcmp(&stub[pe], "PE\0\0", 4) == 0;
}

bool check_stub(const PackOptions& o, std::vector<char>& stub) {
    if (!read_file(o.stub, stub)) {
        error("cannot read the stub %s: %s", o.stub, strerror(errno));
        return false;
    }
    if (stub.size() > size_t(PAYLOAD_OFFSET)) {
        error("the stub %s is larger than the %s bytes before the prompt field", o.stub, "49152");
        return false;
    }
    if (!is_pe(stub)) return content_problem(o.force, "the stub %s is not a PE executable", o.stub);
    return true;
}

// The prompt field's text: at most PROMPT_FIELD_SIZE - 1 bytes, passed
// on as they are (the stub shows them in the system's ANSI code page). A
// prompt file's final line break is not part of the question.
bool make_prompt(const PackOptions& o, std::string& prompt) {
    if (o.prompt) prompt = o.prompt;
    if (o.prompt_file) {
        std::vector<char> bytes;
        if (!read_file(o.prompt_file, bytes)) {
            error("cannot read the prompt file %s: %s", o.prompt_file, strerror(errno));
            return false;
        }
        prompt.assign(bytes.begin(), bytes.end());
        if (!prompt.empty() && prompt.back() == '\n') prompt.pop_back();
        if (!prompt.empty() && prompt.back() == '\r') prompt.pop_back();
    }
    if (prompt.find('\0') != std::string::npos) {
        error("the prompt holds a zero byte, which would end it early");
        return false;
    }
    if (prompt.size() > PROMPT_FIELD_SIZE - 1) {
        std::string size = std::to_string(prompt.size());
        error("the prompt is %s bytes; the prompt field holds at most %s (it is never cut)", size.c_str(), "199");
        return false;
    }
    return true;
}

// Walks the archive as the stub will: main header, then every entry
// through the stub's validation and name rules, to the end marker.
bool check_archive(const PackOptions& o) {
    checking_table = posix_platform;
    checking_table.MessageBoxA = record_message;
    platform = &checking_table;
    crc32_build_table();
    if (!archive_open(o.archive)) {
        error("cannot read the archive %s: %s", o.archive, strerror(errno));
        return false;
    }
    if (read_header() != 1) {
        error("%s does not begin with a valid archive main header (%s)", o.archive,
              last_message.empty() ? "end marker" : last_message.c_str());
        archive_close();
        return false;
    }
    bool ok = true, setup_found = false;
    int header;
    while (ok && (header = read_header()) == 1) {
        char stored[NAME_BUFFER_SIZE + 1];
        memcpy(stored, unpack.header_name, NAME_BUFFER_SIZE);
        stored[NAME_BUFFER_SIZE] = 0;
        const char* name = entry_output_name();
        last_message.clear();
        if (validate_entry() != 0) {
            ok = content_problem(o.force, "entry %s: %s", stored, last_message.c_str());
        } else if (!name) {
            ok = content_problem(o.force, "entry %s: the name is not one plain file name%s", stored,
                                 " (the stub refuses it)");
        } else if (strlen(name) > ENTRY_NAME_MAX) {
            ok = content_problem(o.force, "entry %s: the name is longer than %s characters", stored,
                                 std::to_string(ENTRY_NAME_MAX).c_str());
        }
        if (name && strcasecmp(name, SETUP_NAME) == 0) setup_found = true;
        skip_entry_data();
    }
    archive_close();
    if (!ok) return false;
    if (header != 0) {
        error("%s: %s", o.archive, last_message.c_str());
        return false;
    }
    if (!setup_found) return content_problem(o.force, "%s has no entry named %s", o.archive, SETUP_NAME);
    return true;
}

// Nothing to write is success (and keeps a null vector data() away from fwrite).
bool write_all(FILE* f, const void* bytes, size_t n) { return n == 0 || fwrite(bytes, 1, n, f) == n; }

bool copy_file(FILE* to, const char* path) {
    FILE* from = fopen(path, "rb");
    if (!from) return false;
    char block[65536];
    size_t got;
    bool ok = true;
    while (ok && (got = fread(block, 1, sizeof block, from)) > 0) ok = write_all(to, block, got);
    ok = ok && !ferror(from);
    fclose(from);
    return ok;
}

// Writes beside the target and renames, so that no partial installer is
// ever left under the target's name.
bool write_installer(const PackOptions& o, const std::vector<char>& stub, const std::string& prompt) {
    std::string temp = std::string(o.output) + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        error("cannot create a file beside %s: %s", o.output, strerror(errno));
        return false;
    }
    FILE* f = fdopen(fd, "wb");
    std::vector<char> padding(size_t(PAYLOAD_OFFSET) - stub.size(), 0);
    char field[PROMPT_FIELD_SIZE] = {0};
    memcpy(field, prompt.data(), prompt.size());
    bool ok = f && write_all(f, stub.data(), stub.size()) && write_all(f, padding.data(), padding.size()) &&
              write_all(f, field, sizeof field) && copy_file(f, o.archive) && fflush(f) == 0 && fsync(fd) == 0;
    int saved = errno;
    if (f ? fclose(f) != 0 : close(fd) != 0) ok = false;
    mode_t mask = umask(0);
    umask(mask);
    if (ok && (chmod(temp.c_str(), 0777 & ~mask) != 0 || rename(temp.c_str(), o.output) != 0)) {
        saved = errno;
        ok = false;
    }
    if (!ok) {
        error("cannot write %s: %s", o.output, strerror(saved));
        unlink(temp.c_str());
    }
    return ok;
}

int usage(const char* what) {
    fprintf(stderr, "iunpack pack: %s\nTry 'iunpack --help'.\n", what);
    return 2;
}

}  // namespace

int pack_command(int argc, char** argv) {
    PackOptions o;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool takes_value = strcmp(a, "--stub") == 0 || strcmp(a, "--prompt") == 0 ||
                           strcmp(a, "--prompt-file") == 0 || strcmp(a, "-o") == 0;
        if (takes_value && i + 1 == argc) return usage("an option lacks its value");
        if (strcmp(a, "--stub") == 0) o.stub = argv[++i];
        else if (strcmp(a, "--prompt") == 0) o.prompt = argv[++i];
        else if (strcmp(a, "--prompt-file") == 0) o.prompt_file = argv[++i];
        else if (strcmp(a, "-o") == 0) o.output = argv[++i];
        else if (strcmp(a, "--force") == 0) o.force = true;
        else if (a[0] == '-' && a[1] != 0) return usage("unknown option");
        else if (o.archive) return usage("more than one ARCHIVE");
        else o.archive = a;
    }
    if (!o.stub || !o.archive || !o.output) return usage("needs --stub STUB.exe, ARCHIVE and -o INSTALLER.exe");
    if (o.prompt && o.prompt_file) return usage("--prompt and --prompt-file exclude each other");

    std::vector<char> stub;
    std::string prompt;
    if (!check_stub(o, stub) || !make_prompt(o, prompt) || !check_archive(o)) return 1;
    if (!write_installer(o, stub, prompt)) return 1;
    printf("packed %s\n", o.output);
    return 0;
}
