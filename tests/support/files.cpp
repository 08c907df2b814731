#include "tests/support/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

std::string make_temp_dir(const std::string& name) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/iunpack-" + name + "-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
    return pattern;
}

ScratchDir::ScratchDir() : path(make_temp_dir("test")) {}

ScratchDir::~ScratchDir() {
    std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
}

void write_file(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_text(const std::string& path) {
    Bytes b = read_file(path);
    return std::string(b.begin(), b.end());
}

std::string fuzz_scratch_dir(const char* target) {
    static const std::string dir = make_temp_dir(target) + "/";
    return dir;
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> list_dir(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) return names;
    while (struct dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void make_dir(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0) throw std::runtime_error("cannot create " + path);
}

static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int run_command(const std::string& command, std::string* out, std::string* err) {
    ScratchDir capture;
    std::string full = "(" + command + ") >'" + capture.path + "/out' 2>'" + capture.path + "/err' </dev/null";
    int status = system(full.c_str());
    if (out) *out = slurp(capture.path + "/out");
    if (err) *err = slurp(capture.path + "/err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Bytes random_bytes(size_t n, uint32_t seed) {
    Bytes b(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = uint8_t(x >> 24);
    }
    return b;
}
