#include "tests/support/corpus.h"

#include <cstring>

#include "tests/support/files.h"

Bytes text_bytes(size_t n, uint32_t seed) {
    static const char* const words[] = {"the ", "archive ", "window ", "entry ", "of ", "setup ", "installation ",
                                        "bits ", "and ", "a ", "unpacked ", "header ", ".\n", ", ", "code ", "table "};
    Bytes out;
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = words[(x >> 16) % 16];
        out.insert(out.end(), w, w + strlen(w));
    }
    out.resize(n);
    return out;
}

Bytes repetitive_bytes(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; i++) out[i] = uint8_t("abcabcabd"[i % 9] + (i / 5000) % 3);
    return out;
}

Corpus fixture_corpus() {
    return {{"empty.dat", {}},
            {"one.bin", {0x5A}},
            {"text.txt", text_bytes(26625, 1)},
            {"random.bin", random_bytes(3000, 2)},
            {"sub/repeat.dat", repetitive_bytes(40000)}};
}

Corpus large_corpus() {
    Corpus corpus = fixture_corpus();
    corpus["w26623.txt"] = text_bytes(26623, 3);
    corpus["w26624.bin"] = random_bytes(26624, 4);
    corpus["w26625.txt"] = text_bytes(26625, 5);
    corpus["sub/deeper/random200k.bin"] = random_bytes(200000, 6);
    corpus["sub/text500k.txt"] = text_bytes(500000, 7);
    corpus["zeros.bin"] = Bytes(300000, 0);
    Bytes mixed = text_bytes(3 << 20, 8);
    Bytes noise = random_bytes(1 << 20, 9);
    mixed.insert(mixed.begin() + (1 << 20), noise.begin(), noise.end());
    corpus["several_mb.dat"] = mixed;
    return corpus;
}

void write_corpus(const std::string& dir, const Corpus& corpus) {
    make_dir(dir);
    for (const auto& [path, content] : corpus) {
        for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
            if (!exists(dir + "/" + path.substr(0, slash))) make_dir(dir + "/" + path.substr(0, slash));
        write_file(dir + "/" + path, content);
    }
}

std::string base_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }
