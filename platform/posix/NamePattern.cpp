// FindFirstFileA's name patterns (see PosixNamePattern.h).
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/AnsiCase.h"
#include "platform/posix/PosixNamePattern.h"

namespace posix {
namespace {

bool HasWildcard(const std::string& pattern) {
    return pattern.find_first_of("*?<>") != std::string::npos;
}

// Characters a short name may not hold, besides the ones no name may hold.
bool IsShortNameInvalid(unsigned char ch) {
    return ch < 0x20 || std::strchr("*?<>|\"+=,;[]:/\\", ch) != nullptr;
}

bool IsValidShortName(const std::string& name) {
    if (name == "." || name == "..") return true;
    if (name.empty() || name.size() > 12 || name[0] == '.') return false;
    size_t dot = std::string::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (ch >= 0x80 || ch == ' ' || IsShortNameInvalid(ch)) return false;
        if (ch == '.') {
            if (dot != std::string::npos) return false;
            dot = i;
        }
    }
    if (dot == std::string::npos) return name.size() <= 8;
    const size_t extension = name.size() - dot - 1;
    return dot <= 8 && extension >= 1 && extension <= 3;
}

// The characters of name[from, to) a short name keeps, at most `limit`.
std::string ShortPart(const std::string& name, size_t from, size_t to, size_t limit) {
    std::string part;
    for (size_t i = from; i < to && part.size() < limit; ++i) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (ch == '.' || ch == ' ') continue;
        part += IsShortNameInvalid(ch) ? '_' : static_cast<char>(UpperWindows1252(ch));
    }
    return part;
}

// Matches name[n..] against pattern[m..], remembering every answer in `memo`
// (0 unknown, 1 no, 2 yes), so that no pattern takes more than a step per
// pair of positions.
class Matcher {
public:
    Matcher(const std::string& pattern, const std::string& name)
        : m_pattern(pattern), m_name(name), m_memo((name.size() + 1) * (pattern.size() + 1), 0) {}

    bool Match(size_t n, size_t m) {
        unsigned char& known = m_memo[n * (m_pattern.size() + 1) + m];
        if (known == 0) known = Step(n, m) ? 2 : 1;
        return known == 2;
    }

private:
    bool Step(size_t n, size_t m) {
        const size_t nameEnd = m_name.size();
        if (m == m_pattern.size()) return n == nameEnd;
        switch (m_pattern[m]) {
            case '*':
                for (size_t k = n; k <= nameEnd; ++k)
                    if (Match(k, m + 1)) return true;
                return false;
            case '<': {
                // Up to and with the last '.', never into what follows it.
                const size_t dot = m_name.find_last_of('.');
                const size_t limit = dot == std::string::npos || dot < n ? nameEnd : dot + 1;
                for (size_t k = n; k <= limit; ++k)
                    if (Match(k, m + 1)) return true;
                return false;
            }
            case '>': {
                if (n < nameEnd && m_name[n] != '.') return Match(n + 1, m + 1);
                size_t next = m;
                while (next < m_pattern.size() && m_pattern[next] == '>') ++next;
                if (next == m_pattern.size() && n < nameEnd) return Match(n + 1, next);
                return Match(n, next);
            }
            case '"':
                if (n < nameEnd && m_name[n] == '.') return Match(n + 1, m + 1);
                return n == nameEnd && Match(n, m + 1);
            case '?':
                return n < nameEnd && Match(n + 1, m + 1);
            default:
                return n < nameEnd && SameLetter(m_name[n], m_pattern[m]) && Match(n + 1, m + 1);
        }
    }

    const std::string& m_pattern;
    const std::string& m_name;
    std::vector<unsigned char> m_memo;
};

bool MatchesName(const std::string& translated, const std::string& name) {
    Matcher matcher(translated, name);
    return matcher.Match(0, 0);
}

}  // namespace

std::string TranslatePattern(const std::string& pattern) {
    if (!HasWildcard(pattern)) return pattern;
    const bool noExtension = pattern.back() == '.';
    std::string out = pattern;
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    if (out == "*.*") return "*";
    const std::string source = out;
    for (size_t i = 0; i < out.size(); ++i) {
        const char next = i + 1 < source.size() ? source[i + 1] : '\0';
        if (out[i] == '?')
            out[i] = '>';
        else if (out[i] == '.' && (next == '*' || next == '?'))
            out[i] = '"';
        else if (out[i] == '*' && next == '.')
            out[i] = '<';
    }
    if (noExtension && !out.empty() && out.back() == '*') out.back() = '<';
    return out;
}

std::string ShortAlias(const std::string& name) {
    if (IsValidShortName(name)) return std::string();
    size_t extension = std::string::npos;
    bool content = false;
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        if (name[i] == '.' && content) extension = i;
        if (name[i] != '.') content = true;
    }
    std::string alias =
        ShortPart(name, 0, extension == std::string::npos ? name.size() : extension, 4);
    alias.resize(5, '~');
    unsigned sum = 0;
    for (char ch : name) sum += static_cast<unsigned char>(ch);
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03u", sum % 1000);
    alias += digits;
    if (extension != std::string::npos) {
        const std::string ext = ShortPart(name, extension + 1, name.size(), 3);
        if (!ext.empty()) alias += '.' + ext;
    }
    return alias;
}

bool MatchesPattern(const std::string& translated, const std::string& name) {
    if (MatchesName(translated, name == ".." ? std::string(".") : name)) return true;
    const std::string alias = ShortAlias(name);
    return !alias.empty() && MatchesName(translated, alias);
}

}  // namespace posix
