// pack's INPUTs: files, folders (their own files; files in subfolders are
// marked nested) and archives (recognised by the header identifier at their
// start, read once into memory and walked as the launcher walks them).
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

#include "tools/pack/entry_time.h"
#include "tools/pack/pack_entry.h"
#include "tools/system/system_files.h"

struct PackInputs {
    std::vector<PackEntry> entries;              // every entry, in the order found
    std::list<std::vector<uint8_t>> archives;    // each archive input's bytes, as read
    const std::vector<uint8_t>* single_archive;  // the archive when it is the only INPUT (written as it is), else nullptr
};

// False, after printing why, when an INPUT cannot be read, is no file,
// folder or archive, or is an archive the launcher cannot walk or this
// process cannot hold. Files in `left_out` (the installer being written,
// and the one it replaces) are passed over with their note: a folder may
// hold its own installer.
bool gather_inputs(const std::vector<const char*>& inputs, const TimeClamp& clamp,
                   const std::map<FileIdentity, std::string>& left_out, PackInputs& out);
