// Shared set-up of the file searcher tests: a temporary drive C:, a capture
// of the debugger channel, files written into C:\data, and a time zone.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "inspect/FileSearch.h"
#include "tests/support/ForcedCalls.h"
#include "tests/support/TempDrive.h"
#include "tests/support/TimeZone.h"

namespace inspect_test {

using Lines = std::vector<std::string>;

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
        CFileSearch search(Put(bytes).c_str());
        capture.Clear();
        int result = search.Search(text.c_str(), report);
        lines = capture.Lines();
        return result;
    }

    // The line after each "<n>. String" of the last search.
    Lines Contexts() const {
        Lines found;
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
    Lines lines;
};

// Bytes outside 0x20..0x7F shown as blanks.
inline std::string Cleaned(std::string bytes) {
    for (char& ch : bytes)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) > 0x7F)
            ch = ' ';
    return bytes;
}

// `count` bytes of lower-case filler: no opener, closer, zero or maker name.
inline std::string Filler(size_t count, unsigned seed = 1) {
    std::string out(count, 'a');
    for (char& ch : out) {
        seed = seed * 1103515245u + 12345u;
        ch = static_cast<char>('a' + (seed >> 16) % 26);
    }
    return out;
}

using support::TimeZone;

}  // namespace inspect_test
