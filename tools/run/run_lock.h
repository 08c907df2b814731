// The single-instance guard of `iunpack run`: two runs with the same
// temporary directory share one working directory, and one's clean-up
// would delete the other's files. The launcher guards with a named mutex;
// a run here holds an flock on a lock file beside the working directory.
#pragma once

struct RunLock {
    int fd;           // the locked file, or -1
    char path[4096];  // "<temporary path>iunpack_.$$$.lock"
};

enum class LockResult { taken, held_elsewhere, failed };

// Creates and locks the lock file (never through a link). `failed` leaves
// the reason in errno.
LockResult take_run_lock(RunLock* lock);
// Removes the lock file and releases the lock.
void release_run_lock(RunLock* lock);
