// The name patterns of FindFirstFileA, matched as Windows matches them.
//
// Windows hands the last component of the pattern to the file system in a
// translated form when it holds a wildcard ('*', '?', '<' or '>'):
//   - trailing dots and spaces are dropped; when the pattern ended in a dot,
//     a final '*' becomes '<' (a name without an extension);
//   - "*.*" is "*";
//   - '?' becomes '>', a '.' before '*' or '?' becomes '"', a '*' before a
//     '.' becomes '<'.
// The file system then matches each name, ignoring letter case:
//   '*'  any run of characters;
//   '?'  exactly one character;
//   '<'  any run of characters up to, and with, the name's last '.', but
//        nothing after it (all of a name without a '.');
//   '>'  one character, but none at a '.' or at the end (there a run of '>'
//        ends; at a '.' that the pattern's last '>' meets, it takes the '.');
//   '"'  a '.', or nothing at the end of the name;
// ".." is matched as "." is. A name that is no valid 8.3 name also matches
// through its short alias, as on Windows, where such names have one.
#pragma once

#include <string>

namespace posix {

// The pattern as Windows hands it to the file system (see above).
std::string TranslatePattern(const std::string& pattern);

// True when `name` (Windows-1252), or its short alias, matches the translated
// pattern.
bool MatchesPattern(const std::string& translated, const std::string& name);

// The short alias of a name that is no valid 8.3 name, empty for a name that
// is one. It has the shape of the short names Windows makes: up to four legal
// characters of the base (dots and spaces left out, letters in upper case,
// characters no short name may hold as '_'), '~' up to five characters, three
// digits of a checksum of the name, and a '.' with up to three characters of
// the extension. The extension starts after the name's last '.' that has
// something other than dots before it and something after it. Only its shape
// counts (the letters it starts with, its length, whether it has an
// extension): the layer never hands it out.
std::string ShortAlias(const std::string& name);

}  // namespace posix
