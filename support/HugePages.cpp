#include "HugePages.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseHugePages(void* address, std::size_t size) {
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (size < 2 * kHugePage) {
        return; // too small to hold a whole huge page worth the call
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
    if (first < last) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}
