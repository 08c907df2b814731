// The tool's file-system calls on POSIX: stat, opendir, mkdir, lstat.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "shell/platform_posix.h"
#include "tools/system/system_files.h"

const char LINK_DESCRIPTION[] = "a symbolic link";
const char PATH_SEPARATOR[] = "/";

bool file_status(const char* path, FileStatus& status) {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    status.kind = S_ISREG(st.st_mode) ? FileKind::regular : S_ISDIR(st.st_mode) ? FileKind::folder : FileKind::other;
    status.size = uint64_t(st.st_size);
    status.modified = int64_t(st.st_mtime);
    status.identity = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    return true;
}

bool folder_names(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    errno = 0;
    while (struct dirent* d = readdir(dir)) {
        if (strcmp(d->d_name, ".") != 0 && strcmp(d->d_name, "..") != 0) names.push_back(d->d_name);
        errno = 0;
    }
    int error = errno;
    closedir(dir);
    errno = error;
    return error == 0;
}

bool make_folder(const char* path) { return mkdir(path, 0777) == 0 || errno == EEXIST; }

PathOccupant path_occupant(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) return PathOccupant::nothing;
    return S_ISLNK(st.st_mode) ? PathOccupant::link : PathOccupant::file;
}

bool is_path_separator(char c) { return c == '/'; }

std::string path_base_name(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return path;
    size_t start = path.find_last_of('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end - start + 1);
}

std::string path_joined(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

FILE* open_removable_for_reading(const char* path) { return fopen(path, "rb"); }

const Platform& system_platform() { return posix_platform; }
