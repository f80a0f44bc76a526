#pragma once
// The shared sample files beside the checkout (../shared/corpus). A clone of
// the project alone has none: tests that need them skip with one line saying so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace velto::test {

inline std::filesystem::path CorpusDir() { return std::filesystem::path(VELTO_CORPUS_DIR); }
inline std::string Corpus(const std::string& rel) { return (CorpusDir() / rel).string(); }
inline bool HaveCorpus() { return std::filesystem::is_directory(CorpusDir()); }

}  // namespace velto::test

// Skips the current test when the sample files are absent.
#define VELTO_NEED_CORPUS()                                                                          \
    do {                                                                                             \
        if (!::velto::test::HaveCorpus())                                                            \
            GTEST_SKIP() << "needs the shared sample files at " << VELTO_CORPUS_DIR << " (absent)"; \
    } while (0)
