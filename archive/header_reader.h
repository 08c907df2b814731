// read_header: reads the next header from archive_stream into the current
// HeaderRecord and header_name. Returns HEADER_READ (the stream then stands
// at the entry's data, or at the next header after the main header),
// HEADER_END at the end marker, or 256, 258 or 259 (UnpackError) after
// showing the message.
//
// The entries of an archive are the headers' entries: a local header's
// data ends compressed_size bytes after it (data_end), and every reader
// (the installation, list, test, extract, pack) goes on from there, whatever
// it did with the data.
#pragma once

enum HeaderResult : int {
    HEADER_END = 0,   // the end marker: no more entries
    HEADER_READ = 1,  // a header, its CRC matched
};

int read_header();
