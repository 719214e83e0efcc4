#include "platform/memory/page_memory.h"

#include <sys/mman.h>

#include <utility>

namespace platform {

std::optional<PageMemory> PageMemory::Allocate(size_t size) {
    constexpr size_t kHugePage = size_t{2} << 20;
    PageMemory memory;
    if (size == 0) return memory;
    const bool huge = size >= kHugePage;
    // Room to start the block on a 2 MB boundary, where the kernel can back it with large pages.
    const size_t mapping_size = huge ? size + kHugePage : size;
    void* p = ::mmap(nullptr, mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return std::nullopt;
    memory.mapping_ = p;
    memory.mapping_size_ = mapping_size;
    auto start = reinterpret_cast<uintptr_t>(p);
    if (huge) {
        start = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
        ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);  // only a hint
    }
    memory.data_ = reinterpret_cast<uint8_t*>(start);
    memory.size_ = size;
    return memory;
}

PageMemory::~PageMemory() { Release(); }

PageMemory::PageMemory(PageMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_size_(std::exchange(other.mapping_size_, 0)) {}

PageMemory& PageMemory::operator=(PageMemory&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mapping_size_ = std::exchange(other.mapping_size_, 0);
    }
    return *this;
}

void PageMemory::Release() {
    if (mapping_ != nullptr) ::munmap(mapping_, mapping_size_);
    mapping_ = nullptr;
    mapping_size_ = 0;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace platform
