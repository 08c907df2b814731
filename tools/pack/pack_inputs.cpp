#include "tools/pack/pack_inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "archive/layout.h"
#include "tools/pack/entry_rules.h"
#include "tools/pack/pack_messages.h"
#include "tools/shared/file_bytes.h"
#include "tools/shared/terminal_text.h"

namespace {

// What gathering carries through the folders.
struct Gathering {
    const TimeClamp& clamp;                 // for the entries' times
    const std::map<FileIdentity, std::string>& left_out;  // files never packed, with the note that says why
    std::set<FileIdentity> folders_seen;    // each folder walked once, whatever links lead to it
    PackInputs& out;                        // what is gathered
};

std::string shown(const std::string& path) { return visible_path(path.c_str()); }

PackEntry file_entry(const std::string& path, const FileStatus& st, bool nested, const TimeClamp& clamp) {
    PackEntry e;
    e.stored = path_base_name(path);
    e.name = launcher_output_name(e.stored);
    if (e.name.empty()) e.name_refusal = PLAIN_NAME_REFUSAL;
    e.origin = path;
    e.path = path;
    e.file_size = st.size;
    e.nested = nested;
    e.dos_time = entry_dos_time(st.modified, clamp);
    return e;
}

bool is_left_out(const Gathering& g, const FileStatus& st) {
    auto found = g.left_out.find(st.identity);
    if (found == g.left_out.end()) return false;
    fprintf(stderr, "iunpack pack: note: %s\n", found->second.c_str());
    return true;
}

// The files of `folder`; those of its subfolders (walked once each, links
// followed) are nested.
bool add_folder(const std::string& folder, bool nested, Gathering& g) {
    std::vector<std::string> names;
    if (!folder_names(folder, names)) {
        pack_error("cannot read the folder " + shown(folder) + ": " + strerror(errno));
        return false;
    }
    bool ok = true;
    for (const std::string& name : names) {
        std::string path = path_joined(folder, name);
        FileStatus st;
        if (!file_status(path.c_str(), st)) {
            pack_error("cannot read " + shown(path) + ": " + strerror(errno));
            ok = false;
        } else if (st.kind == FileKind::folder) {
            if (g.folders_seen.insert(st.identity).second) ok &= add_folder(path, true, g);
        } else if (st.kind == FileKind::regular) {
            if (!is_left_out(g, st)) g.out.entries.push_back(file_entry(path, st, nested, g.clamp));
        } else {
            pack_error(shown(path) + " is not a regular file");
            ok = false;
        }
    }
    return ok;
}

// An archive INPUT: the bytes already read (its identifier) and the rest,
// from the same handle, so that what is walked is what is written. A file
// of known size must fit this process's memory before a byte is read.
bool add_archive(const char* input, FILE* file, const FileStatus& st, PackInputs& out) {
    std::vector<uint8_t>& bytes = out.archives.emplace_back(std::vector<uint8_t>{uint8_t(HEADER_ID), HEADER_ID >> 8});
    if (st.kind == FileKind::regular) {
        if (st.size > bytes.max_size()) {
            pack_error("the archive " + shown(input) + " is " + std::to_string(st.size) +
                       " bytes, more than this process can hold in memory");
            return false;
        }
        bytes.reserve(size_t(st.size));
    }
    if (!read_rest(file, bytes)) {
        pack_error(std::string("cannot read the archive ") + shown(input) + ": " + strerror(errno));
        return false;
    }
    ArchiveWalk walked = walk_archive_bytes(bytes);
    if (!walked.main_header_read) {
        pack_error(shown(input) + " does not begin with a valid archive main header (" + walked.failure + ")");
        return false;
    }
    if (!walked.complete) {
        pack_error(shown(input) + ": " + walked.failure);
        return false;
    }
    for (PackEntry& e : walked.entries) {
        e.origin = std::string(input) + ": entry " + e.stored;
        e.archive = &bytes;
        out.entries.push_back(std::move(e));
    }
    return true;
}

bool add_input(const char* input, Gathering& g) {
    FileStatus st;
    if (!file_status(input, st)) {
        pack_error(std::string("cannot read ") + shown(input) + ": " + strerror(errno));
        return false;
    }
    if (st.kind == FileKind::folder) {
        g.folders_seen.insert(st.identity);
        return add_folder(input, false, g);
    }
    if (is_left_out(g, st)) return true;
    FILE* file = fopen(input, "rb");
    if (!file) {
        pack_error(std::string("cannot read ") + shown(input) + ": " + strerror(errno));
        return false;
    }
    uint8_t id[2] = {0, 0};
    size_t got = fread(id, 1, 2, file);
    bool ok;
    if (got == 2 && id[0] == uint8_t(HEADER_ID) && id[1] == HEADER_ID >> 8) {
        ok = add_archive(input, file, st, g.out);
    } else if (st.kind == FileKind::regular) {
        g.out.entries.push_back(file_entry(input, st, false, g.clamp));
        ok = true;
    } else {
        pack_error(shown(input) + " is neither a regular file, a folder nor an archive");
        ok = false;
    }
    fclose(file);
    return ok;
}

}  // namespace

bool gather_inputs(const std::vector<const char*>& inputs, const TimeClamp& clamp,
                   const std::map<FileIdentity, std::string>& left_out, PackInputs& out) {
    out.single_archive = nullptr;
    Gathering g{clamp, left_out, {}, out};
    bool ok = true;
    for (const char* input : inputs) ok &= add_input(input, g);
    if (ok && inputs.size() == 1 && out.archives.size() == 1) out.single_archive = &out.archives.front();
    return ok;
}
