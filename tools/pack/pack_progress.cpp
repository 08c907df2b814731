#include "tools/pack/pack_progress.h"

#include <cstdio>

#include "tools/shared/terminal_text.h"
#include "tools/system/error_terminal.h"

namespace {
constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
constexpr size_t NAME_SHOWN = 40;  // the line stays within a terminal's 80 columns
}  // namespace

PackProgress::PackProgress(uint64_t total, size_t entries)
    : shown_(error_output_is_terminal()), total_(total), entries_(entries) {}

void PackProgress::begin_entry(const std::string& name) {
    index_++;
    name_ = visible_text(name.c_str());
    if (name_.size() > NAME_SHOWN) name_ = name_.substr(0, NAME_SHOWN - 3) + "...";
    current_ = 0;
    storing_ = false;
    draw();
}

void PackProgress::entry_read(uint64_t bytes) {
    // Read again from its start: compression did not pay, the entry is stored.
    if (bytes < current_) storing_ = true;
    if (!storing_) current_ = bytes;
    if (shown_ && std::chrono::steady_clock::now() - last_draw_ >= REDRAW_INTERVAL) draw();
}

void PackProgress::end_entry(uint64_t size) { done_ += size; }

void PackProgress::draw() {
    if (!shown_) return;
    last_draw_ = std::chrono::steady_clock::now();
    uint64_t read = done_ + current_;
    unsigned percent = total_ ? unsigned(read * 100 / total_) : 100;
    char counts[64];
    snprintf(counts, sizeof counts, "\r\033[Kpacking %zu/%zu %3u%% ", index_, entries_, percent > 100 ? 100 : percent);
    write_terminal_text((counts + name_ + (storing_ ? " (storing)" : "")).c_str());
    drawn_ = true;
}

void PackProgress::clear() {
    if (!drawn_) return;
    write_terminal_text("\r\033[K");
    drawn_ = false;
}
