// The text shown around a hit of the file searcher.
//
// Let h be the start of the hit and e the first byte after it. The opening
// character is the first '[' among e, e-1, ... e-39, else the first '$' there.
//  - Opening character at o and its closer (']' or '$') found at c searching
//    forward from e, before the first zero byte: the bytes o..c as they are.
//  - Opening character but no closer before a zero byte: o, then the bytes
//    up to the first closer among o+1 .. o+99 (with it), or the 100 bytes
//    o..o+99 when there is none; the bytes between are cleaned.
//  - No opening character: the bytes h-40 .. e+40, all but the last cleaned.
// Cleaning shows every byte outside 0x20..0x7F as a blank. Only the bytes
// [0, size) the locator was given are looked at: windows that would reach
// before or after them are cut short. The bytes themselves never change.
#pragma once

#include <cstddef>

namespace inspect {

struct HitContext {
    size_t start;      // offset of the first byte
    size_t length;     // number of bytes
    size_t cleanFrom;  // bytes in [cleanFrom, cleanTo) are shown cleaned
    size_t cleanTo;
};

// Finds the contexts of the hits in one block. It keeps the positions of the
// next zero byte and closers it has found, so that the hits of a block, asked
// for in increasing order, cost time linear in the block's size.
class ContextLocator {
public:
    ContextLocator(const char* data, size_t size);

    // The context of the hit of `length` bytes at `hit` (hit + length <= size).
    HitContext Locate(size_t hit, size_t length);

    // Writes the context's bytes into out (room for context.length bytes),
    // cleaned where the context says.
    void Copy(const HitContext& context, char* out) const;

private:
    // A remembered answer of "first ch at or after `from`" (size when none).
    struct Next {
        size_t from;
        size_t at;
        bool known;
    };
    size_t NextOf(char ch, size_t from, Next* memo) const;
    bool FindOpening(size_t end, size_t* opening) const;

    const char* m_data;
    size_t m_size;
    Next m_zero, m_bracket, m_dollar;
};

// The byte as a context shows it when cleaned.
inline char CleanByte(char ch) {
    unsigned char byte = static_cast<unsigned char>(ch);
    return byte >= 0x20 && byte <= 0x7F ? ch : ' ';
}

}  // namespace inspect
