#pragma once
// Zero-filled memory taken straight from the kernel in whole pages. Large blocks ask for 2 MB pages, so
// a 15 MB block costs a handful of page faults instead of thousands; on virtual machines those faults
// cost more than the work done on the memory.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

class PageMemory {
  public:
    PageMemory() = default;
    // Nothing when the memory is not available; an empty block for size 0.
    static std::optional<PageMemory> Allocate(size_t size);

    ~PageMemory();
    PageMemory(PageMemory&& other) noexcept;
    PageMemory& operator=(PageMemory&& other) noexcept;
    PageMemory(const PageMemory&) = delete;
    PageMemory& operator=(const PageMemory&) = delete;

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    void Release();
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
    size_t mapping_size_ = 0;
};

}  // namespace platform
