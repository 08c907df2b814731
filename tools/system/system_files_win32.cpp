// The tool's file-system calls on Windows: a handle's file information
// for what a path is (links and junctions followed, as stat follows them),
// FindFirstFileA/FindNextFileA for folders, CreateDirectoryA, and
// GetFileAttributesA, which does not follow a link, for what stands at a
// path.
#include "shell/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "shell/platform_win32.h"
#include "tools/system/system_files.h"
#include "tools/system/win32_errno.h"

namespace {

// FILETIME counts 100-nanosecond steps from 1601-01-01 (UTC).
constexpr int64_t FILETIME_STEPS_PER_SECOND = 10000000;
constexpr int64_t FILETIME_AT_1970 = 116444736000000000;

int64_t unix_seconds(const FILETIME& time) {
    int64_t steps = int64_t(uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime) - FILETIME_AT_1970;
    int64_t seconds = steps / FILETIME_STEPS_PER_SECOND;
    return steps % FILETIME_STEPS_PER_SECOND < 0 ? seconds - 1 : seconds;  // rounded down, as st_mtime is
}

bool ends_in_separator(const std::string& path) {
    return !path.empty() && (is_path_separator(path.back()) || (path.size() == 2 && path[1] == ':'));
}

}  // namespace

const char LINK_DESCRIPTION[] = "a link or reparse point";
const char PATH_SEPARATOR[] = "\\";

bool file_status(const char* path, FileStatus& status) {
    // Read-attributes access: a file that cannot be read still has a
    // status; backup semantics open folders too.
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        set_errno_from_last_error();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(file, &info) != 0;
    DWORD type = ok ? GetFileType(file) : FILE_TYPE_UNKNOWN;
    if (!ok) set_errno_from_last_error();
    CloseHandle(file);
    if (!ok) return false;
    status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::folder
                  : type == FILE_TYPE_DISK                         ? FileKind::regular
                                                                   : FileKind::other;
    status.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    status.modified = unix_seconds(info.ftLastWriteTime);
    status.identity = {info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    return true;
}

bool folder_names(const std::string& folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path_joined(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;  // a drive's empty root has no "." either
        set_errno_from_last_error();
        return false;
    }
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    DWORD error = GetLastError();
    FindClose(search);
    if (error == ERROR_NO_MORE_FILES) return true;
    SetLastError(error);
    set_errno_from_last_error();
    return false;
}

bool make_folder(const char* path) {
    if (CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
    set_errno_from_last_error();
    return false;
}

PathOccupant path_occupant(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathOccupant::nothing;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathOccupant::link : PathOccupant::file;
}

bool is_path_separator(char c) { return c == '\\' || c == '/'; }

std::string path_base_name(const std::string& path) {
    size_t end = path.size();
    while (end > 0 && is_path_separator(path[end - 1])) end--;
    if (end == 0) return path;
    size_t start = end;
    while (start > 0 && !is_path_separator(path[start - 1]) && !(start == 2 && path[1] == ':')) start--;
    return path.substr(start, end - start);
}

std::string path_joined(const std::string& folder, const std::string& name) {
    return ends_in_separator(folder) ? folder + name : folder + PATH_SEPARATOR + name;
}

FILE* open_removable_for_reading(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        set_errno_from_last_error();
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "rb");
    if (!file) _close(fd);
    return file;
}

const Platform& system_platform() { return win32_platform; }
