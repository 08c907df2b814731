#include "tools/pack/entry_rules.h"

#include <algorithm>
#include <cstring>

#include "archive/entry_extraction.h"
#include "archive/header_reader.h"
#include "archive/layout.h"
#include "common/crc32.h"
#include "common/little_endian.h"
#include "common/unpack_state.h"
#include "shell/install_driver.h"
#include "tools/pack/pack_messages.h"
#include "tools/shared/name_rules.h"
#include "tools/shared/platform_scope.h"
#include "tools/shared/terminal_text.h"
#include "tools/system/system_files.h"

namespace {

// The shortest working directory a Windows system can give ("C:\" and the
// working-directory name): a longer name never fits a path buffer.
constexpr size_t SHORTEST_WORK_DIR = 3 + sizeof WORK_DIR_NAME - 1;
constexpr size_t ENTRY_NAME_MAX = PATH_SIZE - 1 - SHORTEST_WORK_DIR;
constexpr uint64_t ENTRY_SIZE_LIMIT = 0xFFFFFFFFu;  // the headers' 32-bit size fields
constexpr int FIELD_DOS_TIME = 8;

// What a walk's calls share: the system's table with message boxes
// recorded, and for an archive in memory, file calls served from its bytes.
struct WalkState {
    std::string last_message;             // the text of the last message box the launcher's code showed
    const std::vector<uint8_t>* memory;   // the archive in memory, or nullptr for a file
    uint64_t position;                    // where the next memory read starts, 64-bit on every build; may lie past the end
};
WalkState walk;

int record_message(WindowHandle, const char* text, const char*, uint32_t) {
    walk.last_message = text;
    return 1;
}

FileHandle memory_fopen(const char*, const char* mode) {
    if (strcmp(mode, "rb") != 0) return nullptr;
    walk.position = 0;
    return &walk;
}
size_t memory_fread(void* buffer, size_t size, size_t count, FileHandle) {
    const std::vector<uint8_t>& bytes = *walk.memory;
    uint64_t left = walk.position < bytes.size() ? bytes.size() - walk.position : 0;
    size_t items = size == 0 ? 0 : (left / size < count ? size_t(left / size) : count);
    if (items) memcpy(buffer, bytes.data() + size_t(walk.position), items * size);
    walk.position += items * size;
    return items;
}
// An entry's data may claim to reach gigabytes past the bytes in memory:
// the position holds it on 32-bit builds too (it never wraps back into them).
int memory_fseek(FileHandle, int64_t offset, int origin) {
    int64_t base = origin == SEEK_FROM_START ? 0 : int64_t(walk.position);
    if (base + offset < 0) return -1;
    walk.position = uint64_t(base + offset);
    return 0;
}
int memory_fclose(FileHandle) { return 0; }

// A file walk reads pack's temporary installer back: opened so that an
// interruption can still remove it.
FileHandle removable_fopen(const char* path, const char* mode) {
    return strcmp(mode, "rb") == 0 ? open_removable_for_reading(path) : nullptr;
}

// Why the launcher refuses the current entry's name (entry_output_name
// gave none).
std::string name_refusal() {
    uint16_t pos = unpack.header.entry_name_pos;
    char before = pos > 0 && pos < NAME_BUFFER_SIZE ? unpack.header_name[pos - 1] : '/';
    if (before != '/' && before != '\\')
        return "has its name offset " + std::to_string(pos) + " inside a name component, not at its start";
    return PLAIN_NAME_REFUSAL;
}

// The launcher's walk, on the table in scope: main header, then per entry
// its validation and output name, each entry ending where its header says,
// to the end marker.
ArchiveWalk run_walk(const char* path, int64_t offset) {
    ArchiveWalk result;
    unpack.host_window = nullptr;
    crc32_build_table();
    walk.last_message.clear();
    if (!archive_open(path)) {
        result.failure = "cannot be opened";
        return result;
    }
    if (!archive_seek(offset) || read_header() != HEADER_READ) {
        result.failure = walk.last_message.empty() ? "it ends before one" : walk.last_message;
        archive_close();
        return result;
    }
    result.main_header_read = true;
    int header;
    for (;;) {
        int64_t start = archive_tell();
        walk.last_message.clear();
        if ((header = read_header()) != HEADER_READ) break;
        PackEntry e;
        char stored[NAME_BUFFER_SIZE + 1];
        memcpy(stored, unpack.header_name, NAME_BUFFER_SIZE);
        stored[NAME_BUFFER_SIZE] = 0;
        e.stored = stored;
        const char* name = entry_output_name();
        e.name = name ? name : "";
        if (!name) e.name_refusal = name_refusal();
        if (validate_entry() != 0) e.refusal = walk.last_message;
        e.start = start - offset;
        e.end = unpack.header.data_end - offset;
        e.dos_time = le_u32(unpack.header.raw + FIELD_DOS_TIME);
        e.original_size = unpack.header.original_size;
        e.compressed_size = unpack.header.compressed_size;
        result.entries.push_back(e);
        skip_entry_data();
    }
    archive_close();
    result.complete = header == HEADER_END;
    if (!result.complete) result.failure = walk.last_message;
    return result;
}

}  // namespace

ArchiveWalk walk_archive_bytes(const std::vector<uint8_t>& bytes) {
    PlatformScope scope(swapped_calls(system_platform(), Swap{&Platform::MessageBoxA, record_message},
                                      Swap{&Platform::fopen, memory_fopen}, Swap{&Platform::fread, memory_fread},
                                      Swap{&Platform::fseek, memory_fseek}, Swap{&Platform::fclose, memory_fclose}));
    walk.memory = &bytes;
    return run_walk("", 0);
}

ArchiveWalk walk_archive_file(const char* path, int64_t offset) {
    PlatformScope scope(swapped_calls(system_platform(), Swap{&Platform::MessageBoxA, record_message},
                                      Swap{&Platform::fopen, removable_fopen}));
    walk.memory = nullptr;
    return run_walk(path, offset);
}

std::string launcher_output_name(const std::string& name) {
    if (name.size() >= NAME_BUFFER_SIZE || name.find('\0') != std::string::npos) return "";
    // The launcher's rule reads the current header's name: the one of a
    // walk of its own.
    PlatformScope scope(system_platform());
    memset(unpack.header_name, 0, NAME_BUFFER_SIZE);
    memcpy(unpack.header_name, name.data(), name.size());
    unpack.header.entry_name_pos = 0;
    const char* output = entry_output_name();
    return output ? output : "";
}

bool has_high_bytes(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > 127) return true;
    return false;
}

bool check_entries(const std::vector<PackEntry>& entries, bool force) {
    bool ok = true, setup_found = false;
    for (const PackEntry& e : entries) {
        std::string origin = visible_path(e.origin.c_str());
        if (!e.refusal.empty()) {
            pack_error(origin + ": " + e.refusal + " (the launcher refuses the entry)");
            ok = false;
        }
        if (e.nested) {
            ok &= pack_problem(force, origin + ": a file in a subfolder; an installer holds no folders, so it " +
                                          "would be stored flat as " + visible_text(e.name.c_str()));
        }
        if (e.name.empty()) {
            pack_error(origin + ": the name " + visible_text(e.stored.c_str()) + " " + e.name_refusal +
                       " (the launcher refuses it)");
            ok = false;
        } else if (e.name.size() > ENTRY_NAME_MAX) {
            pack_error(origin + ": the name is longer than " + std::to_string(ENTRY_NAME_MAX) +
                       " characters, more than fits the shortest temporary path");
            ok = false;
        } else if (has_high_bytes(e.name)) {
            ok &= pack_problem(force, origin + ": the name holds bytes above 127, which " + CODE_PAGE_NOTE);
        }
        if (!e.path.empty() && e.file_size > ENTRY_SIZE_LIMIT) {
            pack_error(origin + ": " + std::to_string(e.file_size) +
                       " bytes; an entry holds at most 4294967295 (the archive's 32-bit size fields)");
            ok = false;
        }
        if (is_setup_name(e.name)) setup_found = true;
    }
    // One name twice, in any letter case: the launcher creates each file
    // exclusively and refuses the second.
    std::vector<const PackEntry*> by_name;
    for (const PackEntry& e : entries)
        if (!e.name.empty()) by_name.push_back(&e);
    std::stable_sort(by_name.begin(), by_name.end(),
                     [](const PackEntry* a, const PackEntry* b) { return fold_case(a->name) < fold_case(b->name); });
    for (size_t i = 1; i < by_name.size(); i++) {
        if (fold_case(by_name[i - 1]->name) != fold_case(by_name[i]->name)) continue;
        pack_error(visible_path(by_name[i]->origin.c_str()) + ": a second file of that name (compared without " +
                   "regard to case, after " + visible_path(by_name[i - 1]->origin.c_str()) +
                   "; the launcher refuses it)");
        ok = false;
    }
    if (!setup_found) ok &= pack_problem(force, std::string("no entry named ") + SETUP_NAME + " (the launcher runs it)");
    return ok;
}
