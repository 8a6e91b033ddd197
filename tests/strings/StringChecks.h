// Helpers of the string tests: readable texts, objects without buffer, one-line
// checks of an operation on a fresh object, and the exact size of an allocation.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "strings/PathStr.h"

inline std::string Text(const char* text) {
    return text ? text : "<null>";
}
inline std::string Text(const CStr& s) {
    return Text(s.GetBuffer());
}

// An object made from a text; a null text gives an object without buffer.
template <typename T>
struct Made : T {
    explicit Made(const char* text, unsigned size = 255) : T(text ? text : "", size) {
        if (!text) this->FreeBuffer();
    }
};

// `call` on a fresh Type made from `text` leaves `after` and answers with the
// object's buffer.
#define EXPECT_EDIT(Type, text, call, after)                                    \
    do {                                                                        \
        Made<Type> self_(text);                                                 \
        const char* answer_ = self_.call;                                       \
        EXPECT_EQ(Text(self_), Text(after)) << #call << " on " << Text(text);   \
        EXPECT_EQ(answer_, self_.GetBuffer()) << #call << " on " << Text(text); \
    } while (0)

// `call` on a fresh Type made from `text` changes nothing and answers with the
// buffer the object had before.
#define EXPECT_KEPT(Type, text, call)                                        \
    do {                                                                     \
        Made<Type> self_(text);                                              \
        const char* before_ = self_.GetBuffer();                             \
        EXPECT_EQ(self_.call, before_) << #call << " on " << Text(text);     \
        EXPECT_EQ(Text(self_), Text(text)) << #call << " on " << Text(text); \
    } while (0)

// `call` on a fresh Type made from `text` answers null and changes nothing.
#define EXPECT_REFUSED(Type, text, call)                                     \
    do {                                                                     \
        Made<Type> self_(text);                                              \
        EXPECT_EQ(self_.call, nullptr) << #call << " on " << Text(text);     \
        EXPECT_EQ(Text(self_), Text(text)) << #call << " on " << Text(text); \
    } while (0)

// `call` on a fresh Type made from `text` answers `result`.
#define EXPECT_ANSWER(Type, text, call, result) \
    EXPECT_EQ(Made<Type>(text).call, result) << #call << " on " << Text(text)

// Expects the allocator to have handed out exactly `bytes` for the block,
// where the build can tell (under AddressSanitizer).
#if defined(__SANITIZE_ADDRESS__)
#define PURGELIB_EXACT_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PURGELIB_EXACT_ALLOCATION 1
#endif
#endif

#ifdef PURGELIB_EXACT_ALLOCATION
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* block);
#define EXPECT_ALLOCATION(block, bytes) \
    EXPECT_EQ(__sanitizer_get_allocated_size(block), static_cast<size_t>(bytes))
#else
#define EXPECT_ALLOCATION(block, bytes) (void)(block)
#endif
