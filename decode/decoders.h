// The method routines that entry extraction dispatches to. Each works on the
// process-wide state: the current header, archive_stream positioned at the
// entry's first compressed byte, the open output file and the Crc32 register
// set to its initial value. Each returns 0 or an UnpackError code after
// showing its message; archive_stream then stands somewhere inside the
// entry's data (never past it), and entry extraction moves it to data_end.
#pragma once

// Methods 1, 2 and 3.
int decode_lz_huffman();
// Method 4.
int decode_method4();
