// Entry extraction: validation, output file, dispatch by method, CRC check.
//
// The output name is header_name from entry_name_pos on, appended to
// work_dir. Every entry lands flat in work_dir as a file of its own: a name
// that could reach elsewhere (a separator or drive colon, "." or "..", an
// empty name, a device name, a control character, a trailing dot or space),
// a name Windows cannot create (one of < > " | ? *), a name position that
// does not start a name component (it must be 0 or follow a separator, as
// every writer puts it), or a path that does not fit PATH_SIZE is refused
// like a file that cannot be created, and so is a file that exists already
// (the create is exclusive and follows no link). After the entry,
// archive_stream stands at data_end, whatever the method routine fetched.
#include "archive/entry_extraction.h"

#include <cstring>

#include "archive/layout.h"
#include "common/crc32.h"
#include "common/failure.h"
#include "common/global_heap.h"
#include "common/output_file.h"
#include "common/text.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "decode/decoders.h"

int validate_entry() {
    const HeaderRecord& h = unpack.header;
    if (h.min_version > MAX_MIN_VERSION) {
        show_failure(MSG_UNSUPPORTED_VERSION);
        return ERR_UNSUPPORTED_VERSION;
    }
    if (h.flags & FLAG_PASSWORDED) {
        show_failure(MSG_PASSWORDED);
        return ERR_PASSWORDED;
    }
    if (h.method > METHOD_FASTEST) {
        show_failure(MSG_UNKNOWN_METHOD);
        return ERR_UNKNOWN_METHOD;
    }
    if (h.file_type != FILE_TYPE_BINARY && h.file_type != FILE_TYPE_TEXT) {
        show_failure(MSG_INVALID_FILE_TYPE);
        return ERR_INVALID_FILE_TYPE;
    }
    return 0;
}

void skip_entry_data() { archive_skip_to(unpack.header.data_end); }

static char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Windows opens a device, not a file of the directory, when the name's stem
// (up to its first dot, with trailing spaces and dots stripped, as Windows
// strips them) is a device name, whatever extension follows: CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, CLOCK$, and COM and LPT with a digit 1-9 or a
// superscript one, two or three of the ANSI code page.
static bool is_device_name(const char* name) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    const size_t longest = 7;
    size_t n = strcspn(name, ".");
    while (n > 0 && (name[n - 1] == ' ' || name[n - 1] == '.')) n--;
    if (n > longest) return false;
    char stem[longest + 1] = {0};
    for (size_t i = 0; i < n; i++) stem[i] = ascii_upper(name[i]);
    for (const char* d : devices)
        if (strcmp(stem, d) == 0) return true;
    if (n != 4 || (memcmp(stem, "COM", 3) != 0 && memcmp(stem, "LPT", 3) != 0)) return false;
    unsigned char digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '1' && digit <= '9') || digit == SUPERSCRIPT_ONE || digit == SUPERSCRIPT_TWO ||
           digit == SUPERSCRIPT_THREE;
}

// Bytes no Windows file name holds besides the controls (1 to 31): the
// path separators, the drive colon, and the wildcard and redirection
// characters.
static constexpr char RESERVED_NAME_BYTES[] = "\\/:<>\"|?*";

static bool is_path_separator(char c) { return c == '/' || c == '\\'; }

// The name remainder is one plain file name, which Windows opens as it
// stands: it does not end in a dot or a space (Windows strips those, so
// "setup.exe." would become "setup.exe"), and "." and ".." end in a dot.
static bool is_safe_file_name(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') return false;
    for (const char* p = name; *p; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || memchr(RESERVED_NAME_BYTES, c, sizeof RESERVED_NAME_BYTES - 1)) return false;
    }
    return !is_device_name(name);
}

// The name proper starts the stored name or follows one of its
// separators: a position inside a component ("evilsetup.exe" from 4) would
// make a name that no listing of the stored names shows.
const char* entry_output_name() {
    uint16_t pos = unpack.header.entry_name_pos;
    if (pos >= NAME_BUFFER_SIZE) return nullptr;
    if (pos != 0 && !is_path_separator(unpack.header_name[pos - 1])) return nullptr;
    const char* name = unpack.header_name + pos;
    return is_safe_file_name(name) ? name : nullptr;
}

// Builds work_dir + the name remainder into `path`. False when the entry
// must not or cannot be written there.
static bool compose_output_path(char* path) {
    const char* name = entry_output_name();
    if (!name) return false;
    path[0] = 0;
    return text_append(path, PATH_SIZE, unpack.work_dir) && text_append(path, PATH_SIZE, name);
}

int copy_stored() {
    uint32_t left = unpack.header.compressed_size;
    if (left == 0) return 0;
    // Stored data longer than the entry is damage: nothing of it is written.
    if (left > unpack.header.original_size) {
        show_failure(MSG_BAD_CRC);
        return ERR_BAD_CRC;
    }
    // One block, reused for the whole entry: memory stays bounded whatever
    // the entry's size, and an entry that fits one block is copied with one
    // read and one write.
    uint32_t block_size = left < STORED_BLOCK_SIZE ? left : STORED_BLOCK_SIZE;
    uint8_t* block = static_cast<uint8_t*>(heap_obtain(block_size));
    if (!block) {
        skip_entry_data();
        show_failure(MSG_ALLOC_MEMORY);
        return ERR_ALLOC_MEMORY;
    }
    int result = 0;
    while (left > 0) {
        uint32_t n = left < block_size ? left : block_size;
        // A file that ends inside the data is damage, as it is for the
        // decoders: the short block is not written.
        if (archive_read(block, n) != n) {
            show_failure(MSG_BAD_CRC);
            result = ERR_BAD_CRC;
            break;
        }
        if (!write_output_block(block, n)) {
            show_failure(MSG_WRITE_OUTPUT);
            result = ERR_WRITE_OUTPUT;
            break;
        }
        left -= n;
    }
    heap_release(block);
    return result;
}

static int unpack_by_method() {
    uint8_t method = unpack.header.method;
    if (method == METHOD_STORED) return copy_stored();
    if (method <= METHOD_LAST_LZ_HUFFMAN) return decode_lz_huffman();
    return decode_method4();
}

int extract_entry() {
    if (validate_entry() != 0) {
        skip_entry_data();
        show_failure(MSG_ENTRY_REFUSED);
        return ERR_ENTRY_REFUSED;
    }
    char path[PATH_SIZE];
    if (!compose_output_path(path) || !(unpack.output_file = platform->openat(unpack.work_folder, path))) {
        skip_entry_data();
        show_failure(MSG_CREATE_FILE);
        return ERR_CREATE_FILE;
    }
    crc32.reg = CRC32_INITIAL;
    int result = unpack_by_method();
    platform->fclose(unpack.output_file);
    unpack.output_file = nullptr;
    // The next header follows the data, wherever the method routine stopped.
    skip_entry_data();
    if (result != 0) return result;
    if (~crc32.reg != unpack.header.file_crc) {
        show_failure(MSG_BAD_CRC);
        return ERR_BAD_CRC;
    }
    return 0;
}
