// The author's side of the layout: stub padded to PAYLOAD_OFFSET, the
// prompt field, the archive as it is. The archive is read once, into
// memory, and checked there with the stub's own header reader, entry walk
// and entry rules, so that what the stub would refuse is refused here,
// before anyone ships it, and the bytes checked are the bytes written.
#include "tools/pack.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
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
#include "tools/terminal_text.h"

namespace {

// The shortest working directory a Windows system can give ("C:\" and the
// working-directory name): a longer name never fits a path buffer.
constexpr size_t SHORTEST_WORK_DIR = 3 + sizeof WORK_DIR_NAME - 1;
constexpr size_t ENTRY_NAME_MAX = PATH_SIZE - 1 - SHORTEST_WORK_DIR;
constexpr size_t PE_HEADER_OFFSET_FIELD = 0x3C;
constexpr const char CODE_PAGE_NOTE[] = "show as different characters on every Windows code page";

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

// The archive as read: the checking table's file calls serve it from
// memory, so that the walk sees exactly the bytes that are written.
struct MemoryArchive {
    const std::vector<char>* bytes;  // the whole archive
    size_t position;                 // where the next fread starts; may lie past the end
};
MemoryArchive memory_archive;

// The temporary installer, removed when pack is interrupted.
struct PackCleanup {
    char temp_path[PATH_MAX];    // its path, valid while armed
    volatile sig_atomic_t armed; // 1 while the file exists under temp_path
};
PackCleanup cleanup;

int record_message(WindowHandle, const char* text, const char*, uint32_t) {
    last_message = text;
    return 1;
}

FileHandle memory_fopen(const char*, const char* mode) {
    if (strcmp(mode, "rb") != 0) return nullptr;
    memory_archive.position = 0;
    return &memory_archive;
}
size_t memory_fread(void* buffer, size_t size, size_t count, FileHandle) {
    const std::vector<char>& bytes = *memory_archive.bytes;
    size_t left = memory_archive.position < bytes.size() ? bytes.size() - memory_archive.position : 0;
    size_t items = size == 0 ? 0 : (left / size < count ? left / size : count);
    if (items) memcpy(buffer, bytes.data() + memory_archive.position, items * size);
    memory_archive.position += items * size;
    return items;
}
int memory_fseek(FileHandle, int64_t offset, int origin) {
    int64_t base = origin == SEEK_FROM_START ? 0 : int64_t(memory_archive.position);
    if (base + offset < 0) return -1;
    memory_archive.position = size_t(base + offset);
    return 0;
}
int memory_fclose(FileHandle) { return 0; }

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

// A byte above 127 is a different character on every Windows code page.
bool has_high_bytes(const char* text, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (static_cast<unsigned char>(text[i]) > 127) return true;
    return false;
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
    if (has_high_bytes(prompt.data(), prompt.size()))
        return content_problem(o.force, "the prompt holds bytes above 127, which %s", CODE_PAGE_NOTE);
    return true;
}

// Walks the archive as the stub will, on the bytes read: main header,
// then every entry through the stub's validation and name rules, each
// entry ending where its header says, to the end marker.
bool check_archive(const PackOptions& o, const std::vector<char>& archive) {
    checking_table = posix_platform;
    checking_table.MessageBoxA = record_message;
    checking_table.fopen = memory_fopen;
    checking_table.fread = memory_fread;
    checking_table.fseek = memory_fseek;
    checking_table.fclose = memory_fclose;
    memory_archive.bytes = &archive;
    platform = &checking_table;
    crc32_build_table();
    archive_open(o.archive);
    if (read_header() != 1) {
        error("%s does not begin with a valid archive main header (%s)", o.archive,
              last_message.empty() ? "end marker" : last_message.c_str());
        archive_close();
        return false;
    }
    bool ok = true, setup_found = false;
    std::vector<std::string> names;  // each entry's file name, in lower case
    int header;
    while (ok && (header = read_header()) == 1) {
        char stored_name[NAME_BUFFER_SIZE + 1];
        memcpy(stored_name, unpack.header_name, NAME_BUFFER_SIZE);
        stored_name[NAME_BUFFER_SIZE] = 0;
        std::string stored = visible_text(stored_name);
        const char* name = entry_output_name();
        std::string folded = name ? name : "";
        for (char& c : folded) c = char(tolower(static_cast<unsigned char>(c)));
        last_message.clear();
        if (validate_entry() != 0) {
            ok = content_problem(o.force, "entry %s: %s", stored.c_str(), last_message.c_str());
        } else if (!name) {
            ok = content_problem(o.force, "entry %s: the name is not one plain file name%s", stored.c_str(),
                                 " (the stub refuses it)");
        } else if (strlen(name) > ENTRY_NAME_MAX) {
            ok = content_problem(o.force, "entry %s: the name is longer than %s characters", stored.c_str(),
                                 std::to_string(ENTRY_NAME_MAX).c_str());
        } else if (std::find(names.begin(), names.end(), folded) != names.end()) {
            ok = content_problem(o.force, "entry %s: a second file of that name%s", stored.c_str(),
                                 " (compared without regard to case; the stub refuses it)");
        } else if (has_high_bytes(name, strlen(name))) {
            ok = content_problem(o.force, "entry %s: the name holds bytes above 127, which %s", stored.c_str(),
                                 CODE_PAGE_NOTE);
        }
        if (name) names.push_back(folded);
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

void remove_temp_and_reraise(int signal_number) {
    if (cleanup.armed) unlink(cleanup.temp_path);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

// SIGINT and SIGTERM, held back while the temporary file comes and goes.
void block_interruptions(bool block) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// Creates the temporary installer beside the target and arms its removal
// on SIGINT and SIGTERM. A descriptor, or -1 after the error is printed.
int create_temp(const char* output) {
    std::string pattern = std::string(output) + ".XXXXXX";
    if (pattern.size() >= sizeof cleanup.temp_path) {
        error("the path %s is too long", output);
        return -1;
    }
    memcpy(cleanup.temp_path, pattern.c_str(), pattern.size() + 1);
    signal(SIGINT, remove_temp_and_reraise);
    signal(SIGTERM, remove_temp_and_reraise);
    block_interruptions(true);
    int fd = mkstemp(cleanup.temp_path);
    cleanup.armed = fd >= 0;
    block_interruptions(false);
    if (fd < 0) error("cannot create a file beside %s: %s", output, strerror(errno));
    return fd;
}

// Gives the temporary installer the target's name, or removes it.
bool settle_temp(bool keep, const char* output) {
    block_interruptions(true);
    bool ok = keep;
    int saved = 0;
    if (keep) {
        mode_t mask = umask(0);
        umask(mask);
        ok = chmod(cleanup.temp_path, 0777 & ~mask) == 0 && rename(cleanup.temp_path, output) == 0;
        saved = errno;
    }
    if (!ok) unlink(cleanup.temp_path);
    cleanup.armed = 0;
    block_interruptions(false);
    if (keep && !ok) error("cannot write %s: %s", output, strerror(saved));
    return ok;
}

// Writes stub, padding, prompt field and archive to the temporary file.
bool write_installer(int fd, const std::vector<char>& stub, const std::string& prompt,
                     const std::vector<char>& archive, const char* output) {
    FILE* f = fdopen(fd, "wb");
    std::vector<char> padding(size_t(PAYLOAD_OFFSET) - stub.size(), 0);
    char field[PROMPT_FIELD_SIZE] = {0};
    memcpy(field, prompt.data(), prompt.size());
    bool ok = f && write_all(f, stub.data(), stub.size()) && write_all(f, padding.data(), padding.size()) &&
              write_all(f, field, sizeof field) && write_all(f, archive.data(), archive.size()) && fflush(f) == 0 &&
              fsync(fd) == 0;
    int saved = errno;
    if (f ? fclose(f) != 0 : close(fd) != 0) ok = false;
    if (!ok) error("cannot write %s: %s", output, strerror(saved));
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
    if (!check_stub(o, stub) || !make_prompt(o, prompt)) return 1;
    // The installer is written beside the target and renamed, so that no
    // partial installer is ever left under the target's name.
    int fd = create_temp(o.output);
    if (fd < 0) return 1;
    std::vector<char> archive;
    bool ok = read_file(o.archive, archive);
    if (!ok) error("cannot read the archive %s: %s", o.archive, strerror(errno));
    ok = ok && check_archive(o, archive);
    if (ok) {
        ok = write_installer(fd, stub, prompt, archive, o.output);
    } else {
        close(fd);
    }
    if (!settle_temp(ok, o.output)) return 1;
    printf("packed %s\n", o.output);
    return 0;
}
