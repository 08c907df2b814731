// list, test and extract: walks the archive of a self-extracting file (or
// a bare archive) with the same header reader and entry extraction as the
// installation. Each returns the process exit status.
#pragma once

int list_archive(const char* path);
int test_archive(const char* path);
int extract_archive(const char* path, const char* directory);
