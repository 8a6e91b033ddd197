// Shared set-up of the file searcher tests: a temporary drive C:, a capture
// of the debugger channel, and files written into C:\data.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/FileSearch.h"
#include "platform/posix/TestHooks.h"
#include "tests/support/TempDrive.h"

namespace inspect_test {

class SearchTest : public ::testing::Test {
protected:
    void TearDown() override { posix::ClearForced(); }

    // Writes C:\data\<name> and returns its Windows path.
    std::string Put(const std::string& bytes, const std::string& name = "file.bin") {
        drive.WriteFile("data/" + name, bytes);
        return "C:\\data\\" + name;
    }

    // Searches `bytes` (as a file) for `text`; the traced lines land in lines.
    int SearchBytes(const std::string& bytes, const std::string& text, int report = 1) {
        std::string path = Put(bytes);
        CFileSearch search(path.c_str());
        capture.Clear();
        int result = search.Search(text.c_str(), report);
        lines = capture.Lines();
        return result;
    }

    // The contexts traced by a search with report on: the line after each
    // "<n>. String".
    std::vector<std::string> Contexts() const {
        std::vector<std::string> found;
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] == std::to_string(found.size() + 1) + ". String")
                found.push_back(lines[i + 1]);
        return found;
    }

    // The count traced after "Num of detections", or -1.
    int TracedCount() const {
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i] == "Num of detections") return std::stoi(lines[i + 1]);
        return -1;
    }

    support::TempDrive drive;
    support::DebugCapture capture;
    std::vector<std::string> lines;
};

// Bytes outside 0x20..0x7F shown as blanks.
inline std::string Cleaned(const std::string& bytes) {
    std::string out = bytes;
    for (char& ch : out) {
        unsigned char byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte > 0x7F) ch = ' ';
    }
    return out;
}

// `count` bytes of lower-case filler: no opener, closer, zero or maker name.
inline std::string Filler(size_t count, unsigned seed = 1) {
    std::string out(count, 'a');
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = static_cast<char>('a' + (seed >> 16) % 26);
    }
    return out;
}

}  // namespace inspect_test
