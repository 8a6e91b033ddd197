// Locating and copying the context of a hit.
#include "inspect/HitContext.h"

#include <cstring>

namespace inspect {
namespace {

constexpr size_t kLookBack = 40;
constexpr size_t kCutLength = 100;
constexpr size_t kWindow = 40;

}  // namespace

ContextLocator::ContextLocator(const char* data, size_t size)
    : m_data(data), m_size(data ? size : 0), m_zero(), m_bracket(), m_dollar() {}

size_t ContextLocator::NextOf(char ch, size_t from, Next* memo) const {
    if (from >= m_size) return m_size;
    // A remembered answer holds for every start between its own start and the
    // byte it found.
    if (memo->known && memo->from <= from && from <= memo->at) return memo->at;
    const void* found = std::memchr(m_data + from, ch, m_size - from);
    memo->from = from;
    memo->at = found ? static_cast<size_t>(static_cast<const char*>(found) - m_data) : m_size;
    memo->known = true;
    return memo->at;
}

bool ContextLocator::FindOpening(size_t end, size_t* opening) const {
    // Nearest first: e itself, then back over at most 40 positions in all,
    // never before the first byte.
    const size_t first = end >= kLookBack - 1 ? end - (kLookBack - 1) : 0;
    static const char kOpeners[] = {'[', '$'};
    for (char ch : kOpeners) {
        for (size_t at = end + 1; at-- > first;) {
            if (at < m_size && m_data[at] == ch) {
                *opening = at;
                return true;
            }
        }
    }
    return false;
}

HitContext ContextLocator::Locate(size_t hit, size_t length) {
    const size_t end = hit + length;
    size_t open = 0;
    if (FindOpening(end, &open)) {
        const char close = m_data[open] == '[' ? ']' : '$';
        const size_t zero = NextOf('\0', end, &m_zero);
        const size_t found = NextOf(close, end, close == ']' ? &m_bracket : &m_dollar);
        if (found < zero) return HitContext{open, found - open + 1, open, open};
        // No closer before the zero byte: walk at most 99 bytes from the opener.
        size_t limit = open + kCutLength;
        if (limit > m_size) limit = m_size;
        const void* walked = std::memchr(m_data + open + 1, close, limit - open - 1);
        if (walked) {
            size_t at = static_cast<size_t>(static_cast<const char*>(walked) - m_data);
            return HitContext{open, at - open + 1, open + 1, at};
        }
        return HitContext{open, limit - open, open + 1, limit};
    }
    // The fallback window; its very last byte is shown as it is.
    const size_t start = hit >= kWindow ? hit - kWindow : 0;
    const size_t last = end + kWindow;
    if (last < m_size) return HitContext{start, last - start + 1, start, last};
    return HitContext{start, m_size - start, start, m_size};
}

void ContextLocator::Copy(const HitContext& context, char* out) const {
    for (size_t i = 0; i < context.length; ++i) {
        const size_t at = context.start + i;
        const char ch = m_data[at];
        out[i] = at >= context.cleanFrom && at < context.cleanTo ? CleanByte(ch) : ch;
    }
}

}  // namespace inspect
