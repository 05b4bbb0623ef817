// Large-page blocks from the system's memory mapping on Linux; ordinary aligned memory elsewhere.
#include "common/large_pages.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace quorbel {
namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - kLargePage)
        throw std::bad_alloc();
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

}  // namespace

#if defined(__linux__)

void* AllocateLargePageBlock(std::size_t bytes) {
    const std::size_t size = RoundUp(bytes);
    // The mapping is made one large page longer than asked, then trimmed at both ends to the
    // aligned block: the system puts a large page only where a whole aligned 2 MB lies.
    const std::size_t mapped = size + kLargePage;
    void* const map =
        mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(map);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~(std::uintptr_t{kLargePage} - 1);
    const std::size_t head = aligned - start;
    const std::size_t tail = mapped - head - size;
    if (head > 0)
        munmap(map, head);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* const block = reinterpret_cast<void*>(aligned);
    // Only a wish: without large pages (turned off, or none free) the block works as it is.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void FreeLargePageBlock(void* block, std::size_t bytes) noexcept {
    if (block != nullptr)
        munmap(block, RoundUp(bytes));
}

#else

void* AllocateLargePageBlock(std::size_t bytes) {
    return ::operator new (RoundUp(bytes), std::align_val_t{kLargePage});
}

void FreeLargePageBlock(void* block, std::size_t) noexcept {
    ::operator delete (block, std::align_val_t{kLargePage});
}

#endif

}  // namespace quorbel
