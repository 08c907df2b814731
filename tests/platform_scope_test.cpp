// The tool's walks hold the launcher's state only for as long as they
// last: whatever way a walk ends, the table it set is taken back, what it
// left open is closed with its own calls, and unpack holds nothing of it.
#include "tools/shared/platform_scope.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "common/archive_stream.h"
#include "common/unpack_state.h"
#include "shell/platform_posix.h"
#include "tests/support/files.h"

namespace {

int closed;  // files closed by the walk's table

int counting_fclose(FileHandle file) {
    closed++;
    return posix_platform.fclose(file);
}

// Opens the archive stream and leaves a name behind in unpack, then ends
// with a return or by throwing.
void walk(const std::string& path, bool throws) {
    PlatformScope scope(swapped_calls(posix_platform, Swap{&Platform::fclose, counting_fclose}));
    EXPECT_EQ(platform->fclose, counting_fclose);
    EXPECT_EQ(platform->fopen, posix_platform.fopen);
    ASSERT_TRUE(archive_open(path.c_str()));
    strcpy(unpack.header_name, "setup.exe");
    if (throws) throw std::runtime_error("out of memory");
}

TEST(PlatformScope, EveryWayOutTakesTheWalkBack) {
    ScratchDir scratch;
    write_file(scratch / "archive.arj", Bytes{0x60, 0xEA});
    for (bool throws : {false, true}) {
        SCOPED_TRACE(throws ? "thrown" : "returned");
        const Platform* before = &posix_platform;
        platform = before;
        closed = 0;
        try {
            walk(scratch / "archive.arj", throws);
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(platform, before);
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(unpack.archive_stream.file, nullptr);
        EXPECT_EQ(unpack.header_name[0], 0);
    }
}

}  // namespace
