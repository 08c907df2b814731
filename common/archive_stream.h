// archive_stream: the system's own executable opened for reading, read
// strictly forward from the archive's main header on. A buffered byte
// stream over the platform's file calls; its position is the logical one,
// the offset of the next byte a caller will get, whatever the buffer holds
// beyond it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/platform.h"

inline constexpr size_t ARCHIVE_BUFFER_SIZE = 64 * 1024;

struct ArchiveStream {
    FileHandle file;       // the open file, or nullptr
    size_t head;           // index in buffer of the next byte to hand out
    size_t tail;           // bytes of buffer that hold file data
    int64_t file_offset;   // offset in the file of buffer[tail], where the file stands
    uint8_t buffer[ARCHIVE_BUFFER_SIZE];  // file bytes from offset file_offset - tail
};

// Opens `path` with mode "rb". False when it cannot be opened.
bool archive_open(const char* path);
// Closes the stream if it is open.
void archive_close();
// Moves to an absolute offset. False when the platform refused the move.
bool archive_seek(int64_t offset);
// Moves forward by n bytes from the current position; the result of the
// move is not reported, as a move past the end shows at the next read.
void archive_skip(uint64_t n);
// Moves to `offset`, forward from the current position as archive_skip does.
void archive_skip_to(int64_t offset);
// Reads up to n bytes; returns how many arrived.
size_t archive_read(void* destination, size_t n);
// The logical position.
int64_t archive_tell();
// Hands out up to n bytes straight from the buffer, filling it from the
// file first when it is empty, and moves past them. Returns how many (0
// when the file has ended or a read failed); *bytes points at them, valid
// until the next call that moves or reads the stream.
size_t archive_take_buffered(size_t n, const uint8_t** bytes);
