#include "tools/shared/platform_scope.h"

#include <cstring>
#include <type_traits>

#include "common/archive_stream.h"
#include "common/unpack_state.h"

PlatformScope::PlatformScope(const Platform& table) : table_(table), previous_(platform) { platform = &table_; }

PlatformScope::~PlatformScope() {
    archive_close();
    if (unpack.output_file) platform->fclose(unpack.output_file);
    static_assert(std::is_trivially_copyable_v<UnpackState>);
    memset(&unpack, 0, sizeof unpack);
    platform = previous_;
}
