// Fuzzes the scan of a block and the contexts of its hits: arbitrary blocks
// and search strings, each hit and context compared with a plain
// position-by-position reading of the rules. Blocks are copied to heap
// allocations of their exact size, so the sanitizers see any access beyond.
//
// Input: byte 0 picks the string's length (1..64) and whether it is taken
// from the block (bit 7) or from the bytes after byte 0; the rest is the block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "inspect/BytePattern.h"
#include "inspect/FileSearch.h"
#include "platform/posix/Sinks.h"

namespace {

bool Kept(unsigned char byte) {
    return byte >= 0x20 && byte <= 0x7F;
}
char Shown(unsigned char byte) {
    return Kept(byte) ? static_cast<char>(byte) : ' ';
}

// The context of the hit at h, read straight from the rules, cut to the block.
std::string Expected(const unsigned char* data, long size, long h, long length) {
    const long e = h + length;
    std::string out;
    for (unsigned char opener : {'[', '$'}) {
        for (long k = 0; k < 40; ++k) {
            const long o = e - k;
            if (o < 0) break;
            if (o >= size || data[o] != opener) continue;
            const unsigned char closer = opener == '[' ? ']' : '$';
            for (long p = e; p < size && data[p] != 0; ++p) {
                if (data[p] == closer)
                    return std::string(reinterpret_cast<const char*>(data + o), p - o + 1);
            }
            out += static_cast<char>(opener);
            for (long p = o + 1; p < o + 100 && p < size; ++p) {
                if (data[p] == closer) return out + static_cast<char>(closer);
                out += Shown(data[p]);
            }
            return out;
        }
    }
    for (long p = h - 40 < 0 ? 0 : h - 40; p <= e + 40 && p < size; ++p)
        out += p == e + 40 ? static_cast<char>(data[p]) : Shown(data[p]);
    return out;
}

class FuzzScan : public CFileSearch {
public:
    FuzzScan() : CFileSearch("C:\\fuzz") {}

    void Run(const std::string& text, const unsigned char* data, size_t size) {
        m_searchString.Set(text.c_str(), 0);
        m_found = 0;
        m_hitCount = 0;
        m_data = data;
        m_size = size;
        m_text = text;
        m_next = 0;
        ScanBlock(reinterpret_cast<char*>(const_cast<unsigned char*>(data)),
                  static_cast<unsigned>(size), 1);
        // Every position has been reported, and nothing else.
        if (NextHit() != size || m_hitCount != m_reported || m_found != (m_reported > 0))
            std::abort();
    }

    int ReportHit(CStr* context) override {
        const size_t hit = NextHit();
        if (hit >= m_size || m_hitCount != m_reported) std::abort();
        m_next = hit + 1;
        ++m_reported;
        const std::string expected =
            Expected(m_data, static_cast<long>(m_size), static_cast<long>(hit),
                     static_cast<long>(m_text.size()));
        // The context is a text: it ends at its first zero byte.
        if (std::strcmp(context->GetBuffer(), expected.c_str()) != 0) std::abort();
        return 1;
    }

private:
    // The next position at or after m_next where the string lies, or m_size.
    size_t NextHit() const {
        for (size_t i = m_next; i + m_text.size() <= m_size; ++i)
            if (std::memcmp(m_data + i, m_text.data(), m_text.size()) == 0) return i;
        return m_size;
    }

    const unsigned char* m_data = nullptr;
    size_t m_size = 0;
    std::string m_text;
    size_t m_next = 0;

public:
    int m_reported = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 2) return 0;
    const size_t length = 1 + (input[0] & 0x3F);
    const bool fromBlock = (input[0] & 0x80) != 0;
    const uint8_t* rest = input + 1;
    size_t restSize = size - 1;

    std::string text;
    if (fromBlock) {
        // Taken from the middle of the block, so that it is found at least once.
        if (restSize < length) return 0;
        size_t at = (restSize - length) / 2;
        text.assign(reinterpret_cast<const char*>(rest + at), length);
    } else {
        if (restSize < length) return 0;
        text.assign(reinterpret_cast<const char*>(rest), length);
        rest += length;
        restSize -= length;
    }
    // The searcher's strings are texts: up to the first zero byte.
    text.resize(std::strlen(text.c_str()));
    if (text.empty()) return 0;

    unsigned char* block = static_cast<unsigned char*>(std::malloc(restSize ? restSize : 1));
    if (!block) return 0;
    if (restSize) std::memcpy(block, rest, restSize);

    // The candidate search against a plain comparison.
    const inspect::BytePattern pattern(text.data(), text.size());
    const char* begin = reinterpret_cast<const char*>(block);
    const char* end = begin + restSize;
    const char* fast = pattern.Find(begin, end);
    const char* portable = pattern.FindPortable(begin, end);
    for (size_t i = 0;; ++i) {
        const char* plain = nullptr;
        for (size_t j = i; j + text.size() <= restSize && !plain; ++j)
            if (std::memcmp(block + j, text.data(), text.size()) == 0) plain = begin + j;
        if (fast != plain || portable != plain) std::abort();
        if (!plain) break;
        i = static_cast<size_t>(plain - begin);
        fast = pattern.Find(plain + 1, end);
        portable = pattern.FindPortable(plain + 1, end);
    }

    // Hit contexts are made only while someone listens: a sink that drops
    // the texts makes the scan report every hit.
    static const bool listening = [] {
        posix::SetDebugSink([](const char*, void*) {}, nullptr);
        return true;
    }();
    (void)listening;
    static FuzzScan* scan = new FuzzScan;
    scan->m_reported = 0;
    scan->Run(text, block, restSize);
    std::free(block);
    return 0;
}
