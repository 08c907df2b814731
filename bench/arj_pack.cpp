// The benchmark's driver of the archive writer: packs files into a bare
// archive, each under its base name, with one method.
//   arj_pack -m0|-m1|-m4 OUT.arj FILE...
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "encode/arj_writer.h"

int main(int argc, char** argv) {
    if (argc < 4 || strncmp(argv[1], "-m", 2) != 0) {
        fprintf(stderr, "usage: arj_pack -m0|-m1|-m4 OUT.arj FILE...\n");
        return 2;
    }
    int method = atoi(argv[1] + 2);
    FILE* file = fopen(argv[2], "w+b");
    if (!file) {
        perror(argv[2]);
        return 1;
    }
    FileSink sink(file);
    ArjWriter writer(sink);
    std::string archive = argv[2];
    bool ok = writer.begin(archive.substr(archive.find_last_of('/') + 1), dos_time(2024, 1, 1, 0, 0, 0));
    for (int i = 3; ok && i < argc; i++) {
        std::string path = argv[i];
        struct stat st {};
        stat(path.c_str(), &st);
        FileSource source(path);
        EntryOptions options;
        options.name = path.substr(path.find_last_of('/') + 1);
        options.method = uint8_t(method);
        options.dos_time = dos_time_of(st.st_mtime);
        ok = writer.add(options, source);
    }
    ok = ok && writer.finish();
    if (fclose(file) != 0) ok = false;
    if (!ok) {
        fprintf(stderr, "arj_pack: %s\n", writer.error().c_str());
        return 1;
    }
    return 0;
}
