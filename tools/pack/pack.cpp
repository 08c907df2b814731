// The author's side of the layout: the stub padded to PAYLOAD_OFFSET, the
// prompt field, the archive. Files are compressed by the writer in a
// stable order under their plain names; an archive INPUT's entries pass
// through byte for byte (a lone archive INPUT is written whole, as it is).
// Everything is checked with the launcher's own rules before a byte is
// compressed, and the archive as written is walked once more, from the
// installer file, with the launcher's header reader and entry rules.
//
// The same stub, prompt and inputs give the same bytes: nothing comes from
// the clock, the user, the host, the time zone or the output path.
#include "tools/pack/pack.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/layout.h"
#include "encode/arj_writer.h"
#include "tools/cli/command_line.h"
#include "tools/cli/usage_error.h"
#include "tools/pack/entry_rules.h"
#include "tools/pack/entry_time.h"
#include "tools/pack/pack_inputs.h"
#include "tools/pack/pack_messages.h"
#include "tools/pack/pack_progress.h"
#include "tools/shared/file_bytes.h"
#include "tools/shared/name_rules.h"
#include "tools/shared/stubs.h"
#include "tools/shared/terminal_text.h"
#include "tools/system/installer_file.h"

const char PACK_USAGE[] =
    "  pack [--stub win32|win64|STUB.exe] [--prompt TEXT | --prompt-file FILE]\n"
    "       [--method 0|1|4] [--admin] [--force] INPUT... -o INSTALLER.exe\n"
    "      Makes an installer: the stub padded to 49152 bytes, the 200-byte\n"
    "      prompt field (at most 199 bytes of text) and an archive of the\n"
    "      INPUTs. An INPUT is a file, a folder (its own files) or an archive\n"
    "      (its entries passed through unchanged; a lone archive is written\n"
    "      as it is). Files are stored under their plain names, setup.exe\n"
    "      first, then by name, compressed with --method (default 1; an\n"
    "      entry that does not shrink is stored), dated by their modification\n"
    "      time in UTC (no later than $SOURCE_DATE_EPOCH when set): the same\n"
    "      inputs give the same bytes. --stub defaults to win32, the i686\n"
    "      product stub carried by this iunpack; win64 is the x86_64 one.\n"
    "      --admin takes the stub's variant that makes Windows ask for\n"
    "      administrator rights before anything is unpacked.\n"
    "      Refuses what the launcher would refuse (entries, names that are no\n"
    "      plain Windows file name or do not fit, two names equal without\n"
    "      regard to case), files of 4 GiB or more and a stub that does not\n"
    "      fit; unless --force, also files in subfolders of a folder (then\n"
    "      stored flat), names or a prompt with bytes above 127, no setup.exe\n"
    "      and a stub that is no PE file. Nothing is left on failure.\n";

namespace {

// The main header's name: fixed, so that the output path never shows.
constexpr const char ARCHIVE_NAME[] = "installer.arj";

struct PackOptions {
    const char* stub = nullptr;         // --stub: win32, win64 or a path; nullptr for win32
    const char* prompt = nullptr;       // --prompt
    const char* prompt_file = nullptr;  // --prompt-file
    std::vector<const char*> inputs;    // files, folders and archives
    const char* output = nullptr;       // -o
    uint8_t method = 1;                 // --method: 0, 1 or 4
    bool force = false;                 // --force
    bool admin = false;                 // --admin: the stub's administrator variant
};

bool check_stub(const PackOptions& o, Stub& stub) {
    std::string error;
    if (!load_stub(o.stub, o.admin, stub, error)) {
        pack_error(error);
        return false;
    }
    if (o.admin && !stub.embedded) {
        pack_error("--admin takes --stub win32 or win64: the stub " + stub.label +
                   " is a file, and its manifest is its own");
        return false;
    }
    if (!is_pe(stub.bytes)) return pack_problem(o.force, "the stub " + stub.label + " is not a PE executable");
    return true;
}

// The prompt field's text: at most PROMPT_FIELD_SIZE - 1 bytes, passed
// on as they are (the stub shows them in the system's ANSI code page). A
// prompt file's final line break (CR LF at most) is not part of the
// question, so a file of more than that is refused unread.
bool make_prompt(const PackOptions& o, std::string& prompt) {
    constexpr size_t PROMPT_FILE_MAX = PROMPT_FIELD_SIZE - 1 + 2;
    if (o.prompt) prompt = o.prompt;
    if (o.prompt_file) {
        std::vector<uint8_t> bytes;
        if (!read_file_bytes(o.prompt_file, bytes, PROMPT_FILE_MAX)) {
            std::string file = visible_path(o.prompt_file);
            pack_error(errno == EFBIG ? "the prompt file " + file + " holds more than the 199 bytes of a prompt " +
                                            "and a final line break (it is never cut)"
                                      : "cannot read the prompt file " + file + ": " + strerror(errno));
            return false;
        }
        prompt.assign(bytes.begin(), bytes.end());
        if (!prompt.empty() && prompt.back() == '\n') prompt.pop_back();
        if (!prompt.empty() && prompt.back() == '\r') prompt.pop_back();
    }
    if (prompt.find('\0') != std::string::npos) {
        pack_error("the prompt holds a zero byte, which would end it early");
        return false;
    }
    if (prompt.size() > PROMPT_FIELD_SIZE - 1) {
        pack_error("the prompt is " + std::to_string(prompt.size()) +
                   " bytes; the prompt field holds at most 199 (it is never cut)");
        return false;
    }
    if (has_high_bytes(prompt))
        return pack_problem(o.force, std::string("the prompt holds bytes above 127, which ") + CODE_PAGE_NOTE);
    return true;
}

// setup.exe first, then by name, byte by byte: the order never depends on
// the order of the INPUTs or of a folder's listing.
void order_entries(std::vector<PackEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const PackEntry& a, const PackEntry& b) {
        bool a_setup = is_setup_name(a.name), b_setup = is_setup_name(b.name);
        if (a_setup != b_setup) return a_setup;
        return a.name < b.name;
    });
}

// The newest entry's time (no later than SOURCE_DATE_EPOCH): the main
// header's time depends on the entries alone, never on when pack runs.
uint32_t archive_time(const std::vector<PackEntry>& entries, const TimeClamp& clamp) {
    uint32_t newest = entry_dos_time(0, TimeClamp{});  // 1980-01-01, the earliest DOS time
    for (const PackEntry& e : entries) newest = std::max(newest, e.dos_time);
    if (clamp.set) newest = std::min(newest, entry_dos_time(clamp.limit, clamp));
    return newest;
}

// The archive behind the prompt field: a lone archive INPUT as it is,
// otherwise a new main header, the entries in order (files compressed,
// archive entries copied) and the end marker.
bool write_archive(ByteSink& sink, const PackInputs& inputs, std::vector<PackEntry>& entries, const PackOptions& o,
                   const TimeClamp& clamp) {
    if (inputs.single_archive) {
        if (sink.write(inputs.single_archive->data(), inputs.single_archive->size())) return true;
        pack_write_error(o.output, errno);
        return false;
    }
    uint64_t total = 0;
    for (const PackEntry& e : entries) total += e.path.empty() ? 0 : e.file_size;
    PackProgress progress(total, entries.size());
    ArjWriter writer(sink);
    writer.set_progress([&progress](uint64_t bytes) { progress.entry_read(bytes); });
    bool ok = writer.begin(ARCHIVE_NAME, archive_time(entries, clamp));
    if (!ok) pack_error(writer.error());
    for (size_t i = 0; ok && i < entries.size(); i++) {
        PackEntry& e = entries[i];
        if (!e.path.empty()) {
            progress.begin_entry(e.name);
            FileSource source(e.path);
            EntryOptions options;
            options.name = e.name;
            options.method = o.method;
            options.dos_time = e.dos_time;
            EntryResult result;
            ok = writer.add(options, source, &result);
            if (!ok) {
                progress.clear();
                pack_error("while packing " + visible_path(e.origin.c_str()) + ": " + writer.error());
            }
            e.original_size = result.original_size;
            e.compressed_size = result.compressed_size;
            progress.end_entry(e.file_size);
        } else {
            // An archive's entry ends within its bytes: the walk that found
            // it read the next header (or the end marker) behind it.
            const std::vector<uint8_t>& bytes = *e.archive;
            ok = e.start >= 0 && e.start <= e.end && uint64_t(e.end) <= bytes.size() &&
                 sink.write(bytes.data() + e.start, size_t(e.end - e.start));
            if (!ok) pack_write_error(o.output, errno);
        }
    }
    progress.clear();
    if (ok && !writer.finish()) {
        pack_error(writer.error());
        ok = false;
    }
    return ok;
}

// The installer file as written, walked by the launcher's reader: the
// entries planned, in order, each one the launcher accepts.
bool check_written(const std::vector<PackEntry>& planned) {
    ArchiveWalk walked = walk_archive_file(temp_installer_path(), ARCHIVE_OFFSET);
    std::string problem = walked.complete ? "" : walked.failure;
    for (size_t i = 0; problem.empty() && i < planned.size(); i++) {
        if (i >= walked.entries.size()) {
            problem = "entries are missing";
        } else {
            const PackEntry& w = walked.entries[i];
            if (w.stored != planned[i].stored || w.name.empty() || !w.refusal.empty() ||
                w.original_size != planned[i].original_size)
                problem = "entry " + w.stored + " is not the one written";
        }
    }
    if (problem.empty() && walked.entries.size() != planned.size()) problem = "it holds more entries than written";
    if (!problem.empty()) pack_error("the installer as written fails the launcher's walk: " + problem);
    return problem.empty();
}

// Writes stub, padding, prompt field and archive to the temporary file,
// then checks what it holds.
bool write_installer(FILE* f, const Stub& stub, const std::string& prompt, const PackInputs& inputs,
                     std::vector<PackEntry>& entries, const PackOptions& o, const TimeClamp& clamp) {
    std::vector<uint8_t> head(size_t(ARCHIVE_OFFSET), 0);
    std::copy(stub.bytes.begin(), stub.bytes.end(), head.begin());
    std::copy(prompt.begin(), prompt.end(), head.begin() + PAYLOAD_OFFSET);
    bool ok = fwrite(head.data(), 1, head.size(), f) == head.size();
    if (!ok) pack_write_error(o.output, errno);
    if (ok) {
        FileSink sink(f);
        ok = write_archive(sink, inputs, entries, o, clamp);
    }
    if (ok && !flush_to_disk(f)) {
        pack_write_error(o.output, errno);
        ok = false;
    }
    ok = ok && check_written(entries);
    if (fclose(f) != 0 && ok) {
        pack_write_error(o.output, errno);
        ok = false;
    }
    return ok;
}

// Everything between creating the temporary file and settling it; closes
// `f` unless it throws.
bool gather_and_write(FILE* f, const Stub& stub, const std::string& prompt, PackInputs& inputs, const PackOptions& o,
                      const TimeClamp& clamp) {
    // A folder may hold the installer being written (and the one it
    // replaces): neither is packed. The notes name the installer, not the
    // temporary file it is written to.
    std::map<FileIdentity, std::string> left_out;
    std::string output = visible_path(o.output);
    FileIdentity identity;
    if (temp_installer_identity(f, identity)) left_out[identity] = output + " is left out: it is the installer being written";
    FileStatus st;
    if (file_status(o.output, st)) left_out[st.identity] = output + " is left out: it is the installer it replaces";
    bool ok = gather_inputs(o.inputs, clamp, left_out, inputs);
    std::vector<PackEntry>& entries = inputs.entries;
    if (ok && !inputs.single_archive) order_entries(entries);
    ok = ok && check_entries(entries, o.force);
    if (ok) return write_installer(f, stub, prompt, inputs, entries, o, clamp);
    fclose(f);
    return false;
}

// The temporary installer, or nullptr after saying why it cannot be had.
FILE* open_temp_installer(const char* output) {
    TempFailure failure;
    FILE* f = create_temp_installer(output, failure);
    if (f) return f;
    int error = errno;
    if (failure == TempFailure::path_too_long) pack_error("the path " + visible_path(output) + " is too long");
    else if (failure == TempFailure::not_created) pack_error("cannot create " + visible_path(output) + ": " + strerror(error));
    else pack_write_error(output, error);
    return nullptr;
}

void print_summary(const char* output, const std::vector<PackEntry>& entries, double seconds) {
    uint64_t original = 0, packed = 0;
    for (const PackEntry& e : entries) {
        original += e.original_size;
        packed += e.compressed_size;
    }
    char ratio[16] = "-";
    if (original) snprintf(ratio, sizeof ratio, "%.3g%%", 100.0 * double(packed) / double(original));
    printf("packed %s: %s, %llu bytes into %llu (%s), %.1f s\n", output,
           counted(entries.size(), "entry", "entries").c_str(), static_cast<unsigned long long>(original),
           static_cast<unsigned long long>(packed), ratio, seconds);
}

}  // namespace

int pack_command(int argc, char** argv) {
    auto started = std::chrono::steady_clock::now();
    static constexpr CommandOption OPTIONS[] = {
        {"--stub", "win32, win64 or STUB.exe"}, {"--prompt", "TEXT"},        {"--prompt-file", "FILE"},
        {"--method", "0, 1 or 4"},              {"-o", "INSTALLER.exe"},     {"--force", nullptr},
        {"--admin", nullptr},
    };
    CommandLine line;
    int status;
    if (!parse_command_line("pack", PACK_USAGE, argc, argv, OPTIONS, line, status)) return status;
    PackOptions o;
    o.stub = line.value("--stub");
    o.prompt = line.value("--prompt");
    o.prompt_file = line.value("--prompt-file");
    o.output = line.value("-o");
    o.force = line.value("--force") != nullptr;
    o.admin = line.value("--admin") != nullptr;
    o.inputs = line.operands;
    if (const char* m = line.value("--method")) {
        if (strcmp(m, "0") != 0 && strcmp(m, "1") != 0 && strcmp(m, "4") != 0)
            return usage_error(("--method takes 0, 1 or 4, not " + visible_text(m)).c_str(), "pack");
        o.method = uint8_t(m[0] - '0');
    }
    if (o.inputs.empty()) return usage_error("needs an INPUT: a file, a folder or an archive", "pack");
    if (!o.output) return usage_error("needs -o INSTALLER.exe", "pack");
    if (o.prompt && o.prompt_file) return usage_error("--prompt and --prompt-file exclude each other", "pack");

    TimeClamp clamp;
    std::string clamp_error;
    if (!time_clamp_from_environment(clamp, clamp_error)) {
        pack_error(clamp_error);
        return 1;
    }
    Stub stub;
    std::string prompt;
    if (!check_stub(o, stub) || !make_prompt(o, prompt)) return 1;
    // The temporary file first: an INPUT may keep pack waiting (a FIFO),
    // and an interruption then still finds it.
    FILE* f = open_temp_installer(o.output);
    if (!f) return 1;
    PackInputs inputs;
    bool ok;
    // An archive INPUT is read whole, and the coders take their buffers:
    // memory (or a thread) that cannot be had ends pack with a message,
    // and the temporary file goes, instead of an abort that leaves it.
    try {
        ok = gather_and_write(f, stub, prompt, inputs, o, clamp);
    } catch (const std::bad_alloc&) {
        pack_error("out of memory");
        fclose(f);  // still open: write_installer closes it last, and nothing throws after that
        ok = false;
    } catch (const std::exception& e) {
        pack_error(e.what());
        fclose(f);
        ok = false;
    }
    if (!settle_temp_installer(ok, o.output)) {
        if (ok) pack_write_error(o.output, errno);
        return 1;
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    print_summary(o.output, inputs.entries, seconds.count());
    return 0;
}
