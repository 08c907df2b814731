// The varied files that archives are made of in the tests: text, noise,
// runs, the window's edges, several megabytes. Keys are stored paths.
#pragma once

#include <map>
#include <string>

#include "tests/support/archive_writer.h"

using Corpus = std::map<std::string, Bytes>;  // stored path -> content

// Text-like bytes: words from a small vocabulary, deterministic.
Bytes text_bytes(size_t n, uint32_t seed);
Bytes repetitive_bytes(size_t n);
// The small corpus the committed fixtures were made from.
Corpus fixture_corpus();
// The fixtures' corpus and larger files: 26623 to 26625 bytes, noise,
// zeros, a few megabytes of text with noise inside.
Corpus large_corpus();
// Writes every file under `dir`, making the folders of their paths.
void write_corpus(const std::string& dir, const Corpus& corpus);
std::string base_name(const std::string& path);
