#include "tools/run/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/platform.h"
#include "shell/install_driver.h"

static bool lock_path(RunLock* lock) {
    uint32_t size = sizeof lock->path;
    uint32_t length = platform->GetTempPathA(size, lock->path);
    if (length == 0 || length >= size) return false;
    // "iunpack_.$$$" without its separator, then ".lock".
    int name = int(sizeof WORK_DIR_NAME - 2);
    int written = snprintf(lock->path + length, size - length, "%.*s.lock", name, WORK_DIR_NAME);
    return written > 0 && uint32_t(written) < size - length;
}

// The holder removes the file before it unlocks, so a lock taken on a file
// that is no longer at the path is worth nothing: open it again.
LockResult take_run_lock(RunLock* lock) {
    lock->fd = -1;
    lock->path[0] = 0;
    if (!lock_path(lock)) {
        errno = ENAMETOOLONG;
        return LockResult::failed;
    }
    for (int attempt = 0; attempt < 100; attempt++) {
        // Not inherited by setup: the lock is this process's alone.
        int fd = open(lock->path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return LockResult::failed;
        struct stat held, named;
        if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            close(fd);
            errno = EINVAL;
            return LockResult::failed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            close(fd);
            errno = error;
            return error == EWOULDBLOCK ? LockResult::held_elsewhere : LockResult::failed;
        }
        if (lstat(lock->path, &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
            lock->fd = fd;
            return LockResult::taken;
        }
        close(fd);
    }
    errno = EAGAIN;
    return LockResult::failed;
}

void release_run_lock(RunLock* lock) {
    if (lock->fd < 0) return;
    unlink(lock->path);
    close(lock->fd);
    lock->fd = -1;
}
