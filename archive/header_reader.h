// read_header: reads the next header from archive_stream into the current
// HeaderRecord and header_name. Returns 1 when a header was read (the
// stream then stands at the entry's data, or at the next header after the
// main header), 0 at the end marker, or 256, 258 or 259 after showing the
// message.
#pragma once

int read_header();
