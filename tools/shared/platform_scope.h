// The tool runs the launcher's own code (header reader, entry extraction,
// installation driver) over the launcher's process-wide state: the
// `platform` table and `unpack`. Each walk of a command runs on a table of
// its own, the system's with a few calls swapped, set for as long as the
// walk lasts and taken back on every way out, a return or an exception,
// so that nothing one walk set or read is there for the next.
#pragma once

#include "common/platform.h"

// One call of the table and the function that takes its place:
//   Swap{&Platform::fread, watched_fread}
template <class Call>
struct Swap {
    Call Platform::*call;  // the member of the table
    Call by;               // what is called instead
};

// `base` with each swap made, the other calls kept.
template <class... Calls>
Platform swapped_calls(Platform base, Swap<Calls>... swaps) {
    ((base.*swaps.call = swaps.by), ...);
    return base;
}

// One walk's hold on the launcher's state. Walks do not nest: the scope
// clears `unpack` when it ends, and does not bring back what an outer
// walk had there.
class PlatformScope {
public:
    // Points `platform` at a copy of `table`.
    explicit PlatformScope(const Platform& table);
    // Closes what the walk left open (the archive stream, an output file)
    // with the walk's own table, clears `unpack`, and points `platform`
    // back where it pointed before.
    ~PlatformScope();
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    Platform table_;            // the walk's calls: what `platform` points at while the scope lasts
    const Platform* previous_;  // what `platform` pointed at before
};
