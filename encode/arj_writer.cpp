#include "encode/arj_writer.h"

#include <ctime>

#include "archive/layout.h"
#include "encode/headers.h"

bool ArjWriter::fail(const std::string& message) {
    error_ = message;
    return false;
}

bool ArjWriter::write(const std::vector<uint8_t>& bytes) { return sink_.write(bytes.data(), bytes.size()); }

bool ArjWriter::begin(const std::string& archive_name, uint32_t time, const std::string& comment) {
    std::string problem = header_text_problem(archive_name, comment);
    if (!problem.empty()) return fail(archive_name + ": " + problem);
    if (!write(main_header(archive_name, time, comment))) return fail("cannot write the archive");
    return true;
}

bool ArjWriter::add(const EntryOptions& options, EntrySource& source, EntryResult* result) {
    std::string problem = header_text_problem(options.name, options.comment);
    if (!problem.empty()) return fail(options.name + ": " + problem);
    if (options.method != METHOD_STORED && options.method != 1 && options.method != METHOD_FASTEST)
        return fail(options.name + ": method " + std::to_string(options.method) + " is not written (0, 1 or 4)");
    if (source.failed()) return fail(options.name + ": cannot be read");

    LocalHeaderFields fields;
    fields.name = options.name;
    fields.comment = options.comment;
    fields.method = options.method;
    fields.dos_time = options.dos_time;
    fields.attributes = options.attributes;
    const uint64_t header_at = sink_.size();
    std::vector<uint8_t> header = local_header(fields);
    if (!write(header)) return fail("cannot write the archive");
    const uint64_t data_at = sink_.size();

    Outcome run = run_coder(options.method, source);
    // Compression that does not pay: the entry is stored instead (unless
    // its source cannot start over; the compressed data stays then).
    if (run.ok && options.method != METHOD_STORED && run.compressed_size >= run.original_size && source.rewind()) {
        if (!sink_.truncate(data_at)) {
            sink_.truncate(header_at);
            return fail("cannot write the archive");
        }
        Outcome stored = run_coder(METHOD_STORED, source);
        if (stored.ok && (stored.original_size != run.original_size || stored.crc != run.crc)) {
            sink_.truncate(header_at);
            return fail(options.name + ": changed while it was read");
        }
        run = stored;
        fields.method = METHOD_STORED;
    }
    if (!run.ok || run.compressed_size > MAX_FIELD_SIZE) {
        sink_.truncate(header_at);
        if (run.write_failed) return fail("cannot write the archive");
        if (run.too_large || run.compressed_size > MAX_FIELD_SIZE)
            return fail(options.name + ": 4 GiB or more, more than the archive's 32-bit size fields hold");
        return fail(options.name + ": cannot be read");
    }

    fields.compressed_size = uint32_t(run.compressed_size);
    fields.original_size = uint32_t(run.original_size);
    fields.file_crc = run.crc;
    header = local_header(fields);
    if (!sink_.rewrite(header_at, header.data(), header.size())) return fail("cannot write the archive");
    if (result) *result = {fields.method, fields.original_size, fields.compressed_size, fields.file_crc};
    return true;
}

ArjWriter::Outcome ArjWriter::run_coder(uint8_t method, EntrySource& source) {
    EntryStreams io(source, sink_, &progress_);
    bool ok = method == 1 ? encode_lz_huffman(io) : method == METHOD_FASTEST ? encode_method4(io) : encode_stored(io);
    return {ok && !io.too_large && !io.write_failed && !source.failed(), io.too_large, io.write_failed,
            io.original_size, io.compressed_size, io.crc()};
}

bool ArjWriter::finish() {
    if (!write(end_marker())) return fail("cannot write the archive");
    return true;
}

uint32_t dos_time(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) return (1u << 5 | 1u) << 16;
    if (year > 2107) return uint32_t((127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u));
    uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(month) << 5 | uint32_t(day);
    uint32_t time = uint32_t(hour) << 11 | uint32_t(minute) << 5 | uint32_t(second / 2);
    return date << 16 | time;
}

uint32_t dos_time_of(int64_t unix_seconds) {
    time_t t = time_t(unix_seconds);
    struct tm local {};
#ifdef _WIN32
    if (localtime_s(&local, &t) != 0) return dos_time(1980, 1, 1, 0, 0, 0);
#else
    if (!localtime_r(&t, &local)) return dos_time(1980, 1, 1, 0, 0, 0);
#endif
    return dos_time(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}
