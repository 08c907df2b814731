// One entry of the installer that pack makes: a file to compress, or an
// entry of an archive input, passed through byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackEntry {
    std::string name;       // the file the launcher writes; "" when it refuses the stored name
    std::string name_refusal;  // why the launcher refuses it, when it does
    std::string stored;     // the name the header holds (an archive's entry may have a path)
    std::string origin;     // names the entry in messages: a file's path, or "ARCHIVE: entry NAME"
    // A file:
    std::string path;       // the file to compress; "" for an archive's entry
    uint64_t file_size = 0;
    bool nested = false;    // found in a subfolder of a folder input
    // An archive's entry:
    const std::vector<uint8_t>* archive = nullptr;  // the archive's bytes as read
    int64_t start = 0;      // offset of the entry's header in them
    int64_t end = 0;        // offset behind its data
    std::string refusal;    // the launcher's message when it refuses the header's fields, else ""
    // Both (a file's sizes once it is written):
    uint32_t dos_time = 0;  // DOS date << 16 | DOS time
    uint32_t original_size = 0;
    uint32_t compressed_size = 0;
};
