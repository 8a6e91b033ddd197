// VS_VERSIONINFO trees: the block handed to callers and the path look-up.
//
// A node is wLength, wValueLength, (Unicode blocks only) wType, a key
// terminated by a zero character, padding to four bytes, the value, padding,
// and the children, each starting on a four-byte boundary. Text values of
// Unicode blocks count their length in characters, all others in bytes.
#include <algorithm>
#include <cstring>

#include "platform/AnsiCase.h"
#include "platform/posix/VersionImage.h"
#include "platform/posix/WinCodePage.h"

namespace posix {
namespace version {

namespace {

const char kSignature[4] = {'F', 'E', '2', 'X'};

size_t Align4(size_t v) {
    return (v + 3) & ~size_t{3};
}

void Put16(uint8_t* p, size_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

struct Node {
    size_t end = 0;   // cut to the parent's end
    size_t next = 0;  // where the next sibling starts; may lie past the parent
    bool keyValid = false;
    size_t key = 0;       // offset of the key
    size_t keyUnits = 0;  // its characters, without the terminator
    size_t value = 0;     // offset of the value
    size_t valueCut = 0;  // its bytes inside the node
    bool text = false;
    size_t children = 0;  // where the first child would start
};

// Reads the node at `at` inside a parent that ends at `limit`. False when
// there is none: its header does not fit, or its wLength (0 included) does
// not even cover the header, which ends the walk through its siblings. A node
// longer than its parent is cut at the parent's end; a key without
// terminator inside the node leaves the node unmatchable.
bool ReadNode(const uint8_t* b, size_t at, size_t limit, bool wide, Node* n) {
    const size_t header = wide ? 6 : 4;
    const size_t unit = wide ? 2 : 1;
    if (at >= limit || limit - at < header) return false;
    const size_t length = Get16(b + at);
    if (length < header) return false;
    const size_t declaredValue = Get16(b + at + 2);
    *n = Node();
    n->end = std::min(at + length, limit);
    n->next = at + Align4(length);
    n->text = wide && Get16(b + at + 4) != 0;
    n->key = at + header;
    size_t p = n->key;
    for (; p + unit <= n->end; p += unit) {
        if ((wide ? Get16(b + p) : b[p]) == 0) {
            n->keyValid = true;
            break;
        }
    }
    if (!n->keyValid) {
        n->value = n->children = n->end;
        return true;
    }
    n->keyUnits = (p - n->key) / unit;
    // The value starts on the next four-byte boundary, but never past the
    // node's end: an empty value at the end of a cut block must not point
    // behind it, where a caller reading a C string would continue.
    const size_t value = at + Align4(p + unit - at);
    n->value = std::min(value, n->end);
    const size_t valueBytes = n->text ? declaredValue * 2 : declaredValue;
    size_t cut = std::min(valueBytes, n->end - n->value);
    if (n->text) cut &= ~size_t{1};
    n->valueCut = cut;
    n->children = value + Align4(valueBytes);
    return true;
}

// Keys match without regard to letter case. A Unicode key's character is
// compared as its ANSI byte; one that is no character of the code page (a
// best-fit look-alike included: Windows compares keys in Unicode) matches no
// name.
bool KeyEquals(const uint8_t* b, const Node& n, bool wide, const char* name, size_t len) {
    if (!n.keyValid || n.keyUnits != len) return false;
    for (size_t i = 0; i < len; ++i) {
        char key = 0;
        if (wide) {
            const WCHAR unit = Get16(b + n.key + 2 * i);
            BOOL unmapped = FALSE;
            if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &unit, 1, &key, 1, nullptr,
                                    &unmapped) != 1 ||
                unmapped)
                return false;
        } else {
            key = static_cast<char>(b[n.key + i]);
        }
        if (UpperWindows1252(static_cast<unsigned char>(key)) !=
            UpperWindows1252(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

}  // namespace

bool IsBlock16(const uint8_t* block) {
    return block[4] >= ' ';
}

bool FinishBlock(uint8_t* block, size_t copied, size_t capacity) {
    copied = std::min(copied, capacity);
    if (copied < 6) return false;
    const bool wide = !IsBlock16(block);
    size_t root = std::min<size_t>(Get16(block), copied);
    if (wide) {
        // The block, the signature, and as many bytes again for the ANSI copies.
        root = std::min(root, (capacity - 4) / 2);
        if (root < 6) return false;
        Put16(block, root);
        std::memcpy(block + root, kSignature, sizeof kSignature);
    } else {
        root = std::min(root, capacity - 1);
        Put16(block, root);
        block[root] = 0;
    }
    return true;
}

bool FindValue(const uint8_t* block, const char* path, ValueRef* value) {
    const bool wide = !IsBlock16(block);
    Node node;
    if (!ReadNode(block, 0, Get16(block), wide, &node) || !node.keyValid) return false;
    value->root = true;
    const char* p = path ? path : "";
    while (*p) {
        if (*p == '\\') {
            ++p;
            continue;
        }
        const char* end = p;
        while (*end && *end != '\\') ++end;
        const size_t len = static_cast<size_t>(end - p);
        Node child;
        bool found = false;
        // Siblings advance by at least four bytes and stay inside the node.
        for (size_t at = node.children; ReadNode(block, at, node.end, wide, &child);
             at = child.next) {
            if (KeyEquals(block, child, wide, p, len)) {
                found = true;
                break;
            }
        }
        if (!found) return false;
        node = child;
        value->root = false;
        p = end;
    }
    value->offset = node.value;
    value->bytes = node.valueCut;
    value->text = node.text && !value->root;
    return true;
}

}  // namespace version
}  // namespace posix
