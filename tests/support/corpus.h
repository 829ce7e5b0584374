#pragma once
// The real artifacts the tests plant: browser databases, caches, hives, jump
// lists and shortcuts that real programs wrote, taken from public forensic
// projects (origins, commits and licences in the corpus's MANIFEST.md). The
// sandbox holds a copy at C:\veltrane-corpus; a machine without the corpus
// skips the tests that need it, and says so.
#include <string>

#include <gtest/gtest.h>

namespace veltrane {

// The folder of the corpus copy in the sandbox.
inline constexpr wchar_t kCorpusRoot[] = L"C:\\veltrane-corpus";

// The full path of `relative` ("chrome\\History-v20-plaso") in the corpus;
// empty when the corpus or that file is missing.
std::wstring CorpusFile(const std::wstring& relative);

// Skips the current test when `relative` is not in the corpus; for the
// start of a test body.
#define SKIP_WITHOUT_CORPUS_FILE(relative)                                                   \
    do {                                                                                     \
        if (CorpusFile(relative).empty())                                                    \
            GTEST_SKIP() << "corpus file missing (the corpus is not in this sandbox): "      \
                         << ::testing::PrintToString(std::wstring(relative));                \
    } while (0)

}  // namespace veltrane
