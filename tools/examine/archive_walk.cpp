#include "tools/examine/archive_walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/crc32.h"
#include "common/text.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "tools/cli/command_line.h"
#include "tools/cli/usage_error.h"
#include "tools/shared/name_rules.h"
#include "tools/shared/platform_scope.h"
#include "tools/shared/terminal_text.h"
#include "tools/system/system_files.h"

const char LIST_USAGE[] =
    "  list FILE\n"
    "      Lists the question of a self-extracting file's prompt field and the\n"
    "      entries of its archive (or of a bare archive), each under the name\n"
    "      the launcher writes, with its stored name where that differs.\n";
const char TEST_USAGE[] =
    "  test FILE\n"
    "      Unpacks every entry to nowhere with the launcher's checks and\n"
    "      checks its CRC-32. Exit status 1 when any entry would fail.\n";
const char EXTRACT_USAGE[] =
    "  extract FILE DIR\n"
    "      Unpacks every entry into DIR (made, with its parents, if missing),\n"
    "      flat, with the launcher's checks. Stops at the first entry that\n"
    "      fails and removes its file; never replaces a file nor writes\n"
    "      through a link.\n";

namespace {

// The walk of one command, process-wide as the launcher's own state is.
struct ToolWalk {
    const char* path;                       // the file being read, as the user named it
    int64_t header_at;                      // the file offset of the header being read
    std::vector<std::string> messages;      // the launcher's messages, not printed yet
    int read_error;                         // errno of the last read that failed with an error, else 0
    int create_error;                       // errno of the last output file that could not be created
    bool discard_output;                    // `test`: output files go nowhere
    int sink_object;                        // the handle of a discarded output file
    std::set<std::string> discarded_names;  // `test`: the names created so far, letters folded to lower case
};
ToolWalk walk;

int MessageBoxA(WindowHandle, const char* text, const char*, uint32_t) {
    walk.messages.push_back(text);
    return 1;
}

// A read that fails with an error, not at the end of the file, leaves the
// system's reason for the message that follows.
size_t fread_(void* buffer, size_t size, size_t count, FileHandle file) {
    size_t got = system_platform().fread(buffer, size, count, file);
    if (got < count && ferror(static_cast<FILE*>(file))) walk.read_error = errno;
    return got;
}

// `test` creates no file, yet reports what the launcher would meet on
// Windows, where names differ only in letter case name one file: the
// second of them cannot be created, as it exists already.
FileHandle openat_(Handle folder, const char* path) {
    FileHandle file = &walk.sink_object;
    if (!walk.discard_output) {
        file = system_platform().openat(folder, path);
    } else if (!walk.discarded_names.insert(fold_case(path)).second) {
        file = nullptr;
        errno = EEXIST;
    }
    if (!file) walk.create_error = errno;
    return file;
}
size_t fwrite_(const void* buffer, size_t size, size_t count, FileHandle file) {
    if (file == &walk.sink_object) return count;
    return system_platform().fwrite(buffer, size, count, file);
}
int fclose_(FileHandle file) {
    if (file == &walk.sink_object) return 0;
    return system_platform().fclose(file);
}

// The walk's table: the system's, message boxes recorded, reads watched.
Platform walk_table() {
    return swapped_calls(system_platform(), Swap{&Platform::MessageBoxA, MessageBoxA}, Swap{&Platform::openat, openat_},
                         Swap{&Platform::fread, fread_}, Swap{&Platform::fwrite, fwrite_},
                         Swap{&Platform::fclose, fclose_});
}

// The name the launcher writes for the current entry, or its stored name
// when the launcher refuses it; shown as text.
std::string shown_name() {
    const char* name = entry_output_name();
    return visible_text(name ? name : unpack.header_name);
}

// Why the current entry's file could not be created.
std::string create_failure_reason() {
    if (!entry_output_name()) return " (the launcher refuses this name: it is no plain Windows file name)";
    if (walk.discard_output) return " (an earlier entry has this name in some letter case: on Windows that is one file)";
    return std::string(" (") + strerror(walk.create_error) + ")";
}

// Prints the launcher's messages since the last call: about the current
// entry when `entry`, else about the header at walk.header_at.
void print_messages(bool entry) {
    for (const std::string& text : walk.messages) {
        std::string line = "error: " + visible_path(walk.path) + ": ";
        line += entry ? "entry " + shown_name() : "at byte " + std::to_string(walk.header_at);
        line += ": " + text;
        // The message that follows a failed read carries its reason.
        if (walk.read_error) line += std::string(" (") + strerror(walk.read_error) + ")";
        walk.read_error = 0;
        if (entry && text == MSG_CREATE_FILE) line += create_failure_reason();
        fprintf(stderr, "%s\n", line.c_str());
    }
    walk.messages.clear();
}

// Up to its first zero byte; a field without one is all of its bytes, as
// the launcher shows it.
std::string read_prompt_field() {
    char field[PROMPT_FIELD_SIZE + 1] = {};
    if (archive_seek(PAYLOAD_OFFSET)) archive_read(field, PROMPT_FIELD_SIZE);
    return field;
}

int next_header() {
    walk.header_at = archive_tell();
    return read_header();
}

// Why the main header could not be read, in one line.
void report_no_archive(bool bare) {
    std::string shown = visible_path(walk.path);
    FileStatus st;
    if (walk.read_error) {
        fprintf(stderr, "error: cannot read %s: %s\n", shown.c_str(), strerror(walk.read_error));
    } else if (!bare && file_status(walk.path, st) && st.kind == FileKind::regular && st.size < uint64_t(ARCHIVE_OFFSET)) {
        fprintf(stderr, "error: %s: neither an installer (it is shorter than %lld bytes) nor an archive (it does not "
                "start with 60 EA)\n", shown.c_str(), static_cast<long long>(ARCHIVE_OFFSET));
    } else {
        std::string why = walk.messages.empty() ? "the end marker comes first" : walk.messages.front();
        fprintf(stderr, "error: %s: %s (%s at byte %lld)\n", shown.c_str(), MSG_INVALID_ARCHIVE, why.c_str(),
                static_cast<long long>(walk.header_at));
    }
    walk.messages.clear();
}

// Opens `path` with the walk's table (in scope) and reads the main header;
// a file that starts with the header identifier is a bare archive, anything
// else a self-extracting file, whose prompt field goes to `prompt` (if
// given). False after printing why not.
bool open_archive(const char* path, bool* bare_archive, std::string* prompt) {
    walk.path = path;
    walk.messages.clear();
    walk.read_error = 0;
    unpack.host_window = nullptr;
    unpack.work_folder = nullptr;  // files are created by their paths
    crc32_build_table();
    if (!archive_open(path)) {
        fprintf(stderr, "error: cannot open %s: %s\n", visible_path(path).c_str(), strerror(errno));
        return false;
    }
    uint8_t id[2] = {0, 0};
    archive_read(id, 2);
    bool bare = id[0] == uint8_t(HEADER_ID) && id[1] == HEADER_ID >> 8;
    if (bare_archive) *bare_archive = bare;
    if (prompt && !bare) *prompt = read_prompt_field();
    archive_seek(bare ? 0 : ARCHIVE_OFFSET);
    if (next_header() == HEADER_READ) return true;
    report_no_archive(bare);
    archive_close();
    return false;
}

// After the loop: 0 at the end marker; a header error is printed.
int finish(int header) {
    print_messages(false);
    archive_close();
    return header == HEADER_END ? 0 : 1;
}

// Makes `path` and the folders it lies in, as far as they are missing.
bool make_folders(const char* path) {
    std::string p = path;
    for (size_t i = 1; i < p.size(); i++)
        if (is_path_separator(p[i]) && !is_path_separator(p[i - 1])) make_folder(p.substr(0, i).c_str());
    return make_folder(path);
}

// The current entry's output file in work_dir, or "" when it has none.
std::string output_path() {
    const char* name = entry_output_name();
    char path[PATH_SIZE] = "";
    if (!name || !text_append(path, PATH_SIZE, unpack.work_dir) || !text_append(path, PATH_SIZE, name)) return "";
    return path;
}

// Extraction never replaces a file nor writes through a link (the create
// is exclusive): what stood in the way of the current entry, if anything,
// is the message.
void report_in_the_way() {
    std::string path = output_path();
    PathOccupant occupant = path.empty() ? PathOccupant::nothing : path_occupant(path.c_str());
    if (occupant == PathOccupant::nothing) return;
    walk.messages = {visible_path(path.c_str()) +
                     (occupant == PathOccupant::link ? std::string(" is ") + LINK_DESCRIPTION : " exists already") +
                     ": extract never replaces a file nor writes through a link"};
}

// The file of an entry that failed goes: it holds what the entry's data
// made of it up to the failure, not the entry.
void remove_failed_file() {
    std::string path = output_path();
    if (!path.empty() && remove(path.c_str()) == 0)
        fprintf(stderr, "note: removed %s, the file of the entry that failed\n", visible_path(path.c_str()).c_str());
}

// The name column of list.
void print_list_name() {
    const char* name = entry_output_name();
    if (!name) {
        write_visible(stdout, unpack.header_name);
        fputs("  (the launcher refuses this name)", stdout);
    } else {
        write_visible(stdout, name);
        if (strcmp(name, unpack.header_name) != 0) printf("  (stored as %s)", visible_text(unpack.header_name).c_str());
    }
    putchar('\n');
}

int list_archive(const char* path) {
    PlatformScope scope(walk_table());
    bool bare;
    std::string prompt;
    if (!open_archive(path, &bare, &prompt)) return 1;
    if (!bare) printf("%s\n", prompt_line(prompt).c_str());
    printf("%10s %10s %6s %8s  %s\n", "original", "compressed", "method", "crc32", "name");
    int header;
    while ((header = next_header()) == HEADER_READ) {
        const HeaderRecord& h = unpack.header;
        printf("%10u %10u %6u %08x  ", unsigned(h.original_size), unsigned(h.compressed_size), unsigned(h.method),
               unsigned(h.file_crc));
        print_list_name();
        skip_entry_data();
    }
    return finish(header);
}

int extract_archive(const char* path, const char* directory) {
    PlatformScope scope(walk_table());
    if (!make_folders(directory)) {
        fprintf(stderr, "error: cannot create the folder %s: %s\n", visible_path(directory).c_str(), strerror(errno));
        return 1;
    }
    unpack.work_dir[0] = 0;
    if (!text_append(unpack.work_dir, PATH_SIZE, directory) ||
        (!is_path_separator(directory[strlen(directory) - 1]) &&
         !text_append(unpack.work_dir, PATH_SIZE, PATH_SEPARATOR))) {
        fprintf(stderr, "error: the folder path %s is too long\n", visible_path(directory).c_str());
        return 1;
    }
    walk.discard_output = false;
    if (!open_archive(path, nullptr, nullptr)) return 1;
    int header;
    while ((header = next_header()) == HEADER_READ) {
        int result = extract_entry();
        if (result == ERR_CREATE_FILE) report_in_the_way();
        print_messages(true);
        if (result != 0) {
            // Refused entries and names create no file.
            if (result != ERR_CREATE_FILE && result != ERR_ENTRY_REFUSED) remove_failed_file();
            archive_close();
            return 1;
        }
        write_visible(stdout, entry_output_name());
        putchar('\n');
    }
    return finish(header);
}

// A command of operands alone: `n` of them (`what`), or a usage error.
bool parse_operands(const char* command, const char* usage, int argc, char** argv, size_t n, const char* what,
                    CommandLine& line, int& status) {
    if (!parse_command_line(command, usage, argc, argv, {}, line, status)) return false;
    if (line.operands.size() == n) return true;
    status = usage_error((std::string(command) + " takes " + what).c_str(), command);
    return false;
}

}  // namespace

std::string prompt_line(const std::string& prompt) {
    return prompt.empty() ? "prompt: none" : "prompt: \"" + visible_text(prompt.c_str(), "\"") + "\"";
}

bool test_archive(const char* path, TestSummary& summary) {
    PlatformScope scope(walk_table());
    walk.discard_output = true;
    walk.discarded_names.clear();
    bool opened = open_archive(path, nullptr, nullptr);
    if (opened) {
        unpack.work_dir[0] = 0;
        int header;
        while ((header = next_header()) == HEADER_READ) {
            int result = extract_entry();
            print_messages(true);
            summary.entries++;
            const char* name = entry_output_name();
            if (result != 0) summary.failed++;
            else if (name && is_setup_name(name)) summary.setup_found = true;
            printf("%-6s %s\n", result == 0 ? "ok" : "FAILED", shown_name().c_str());
        }
        summary.complete = header == HEADER_END;
        if (summary.complete) summary.archive_end = uint64_t(archive_tell());
        printf("%s, %u failed\n", counted(summary.entries, "entry", "entries").c_str(), unsigned(summary.failed));
        finish(header);
    }
    walk.discard_output = false;
    return opened;
}

int list_command(int argc, char** argv) {
    CommandLine line;
    int status;
    if (!parse_operands("list", LIST_USAGE, argc, argv, 1, "one FILE", line, status)) return status;
    return list_archive(line.operands[0]);
}

int test_command(int argc, char** argv) {
    CommandLine line;
    int status;
    if (!parse_operands("test", TEST_USAGE, argc, argv, 1, "one FILE", line, status)) return status;
    TestSummary summary;
    return test_archive(line.operands[0], summary) && summary.complete && summary.failed == 0 ? 0 : 1;
}

int extract_command(int argc, char** argv) {
    CommandLine line;
    int status;
    if (!parse_operands("extract", EXTRACT_USAGE, argc, argv, 2, "FILE and DIR", line, status)) return status;
    return extract_archive(line.operands[0], line.operands[1]);
}
