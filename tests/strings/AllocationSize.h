// The number of bytes the allocator handed out for a block, where the build
// can tell it exactly (under AddressSanitizer); 0 where it cannot.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define PURGELIB_EXACT_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PURGELIB_EXACT_ALLOCATION 1
#endif
#endif

#ifdef PURGELIB_EXACT_ALLOCATION
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* block);
inline size_t AllocationSize(const void* block) {
    return block ? __sanitizer_get_allocated_size(block) : 0;
}
#else
inline size_t AllocationSize(const void*) {
    return 0;
}
#endif

// Expects the block to be exactly `bytes` long, where that can be measured.
#define EXPECT_ALLOCATION(block, bytes)                       \
    do {                                                      \
        size_t measured_ = AllocationSize(block);             \
        if (measured_ != 0) {                                 \
            EXPECT_EQ(measured_, static_cast<size_t>(bytes)); \
        }                                                     \
    } while (0)
