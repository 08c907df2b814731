#include "common/archive_stream.h"

#include <cstring>

#include "common/unpack_state.h"

static ArchiveStream& stream() { return unpack.archive_stream; }

static void drop_buffer(int64_t new_offset) {
    ArchiveStream& s = stream();
    s.head = s.tail = 0;
    s.file_offset = new_offset;
}

bool archive_open(const char* path) {
    ArchiveStream& s = stream();
    s.file = platform->fopen(path, "rb");
    drop_buffer(0);
    return s.file != nullptr;
}

void archive_close() {
    ArchiveStream& s = stream();
    if (s.file) platform->fclose(s.file);
    s.file = nullptr;
    drop_buffer(0);
}

bool archive_seek(int64_t offset) {
    ArchiveStream& s = stream();
    if (platform->fseek(s.file, offset, SEEK_FROM_START) != 0) return false;
    drop_buffer(offset);
    return true;
}

int64_t archive_tell() {
    const ArchiveStream& s = stream();
    return s.file_offset - int64_t(s.tail - s.head);
}

void archive_skip(uint64_t n) {
    ArchiveStream& s = stream();
    if (n <= s.tail - s.head) {
        s.head += size_t(n);
        return;
    }
    int64_t target = archive_tell() + int64_t(n);
    if (platform->fseek(s.file, target, SEEK_FROM_START) == 0) drop_buffer(target);
}

void archive_skip_to(int64_t offset) {
    int64_t here = archive_tell();
    if (offset >= here) archive_skip(uint64_t(offset - here));
    else archive_seek(offset);
}

// Makes at least one byte available in the buffer unless the file has
// ended; returns the number of buffered bytes from head on.
static size_t archive_refill() {
    ArchiveStream& s = stream();
    if (s.head < s.tail) return s.tail - s.head;
    s.head = s.tail = 0;
    size_t got = platform->fread(s.buffer, 1, ARCHIVE_BUFFER_SIZE, s.file);
    s.tail = got;
    s.file_offset += int64_t(got);
    return got;
}

size_t archive_take_buffered(size_t n, const uint8_t** bytes) {
    ArchiveStream& s = stream();
    size_t buffered = n == 0 ? 0 : archive_refill();
    size_t take = n < buffered ? n : buffered;
    *bytes = s.buffer + s.head;
    s.head += take;
    return take;
}

size_t archive_read(void* destination, size_t n) {
    ArchiveStream& s = stream();
    uint8_t* out = static_cast<uint8_t*>(destination);
    size_t done = 0;
    while (done < n) {
        size_t buffered = s.tail - s.head;
        if (buffered == 0) {
            // Large remainders go straight from the file to the caller.
            if (n - done >= ARCHIVE_BUFFER_SIZE) {
                size_t got = platform->fread(out + done, 1, n - done, s.file);
                s.file_offset += int64_t(got);
                return done + got;
            }
            buffered = archive_refill();
            if (buffered == 0) break;
        }
        size_t take = n - done < buffered ? n - done : buffered;
        memcpy(out + done, s.buffer + s.head, take);
        s.head += take;
        done += take;
    }
    return done;
}
