#pragma once
// Owned memory for whole picture files (up to about 15 MB), in pages taken straight from the kernel
// (large ones in 2 MB pages: see platform::PageMemory).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/memory/page_memory.h"

namespace pipeline {

class PictureBuffer {
  public:
    PictureBuffer() = default;
    // Zero-filled; nothing when the memory is not available.
    static std::optional<PictureBuffer> Allocate(size_t size);
    // The whole file; nothing when it cannot be read completely or is 4 GB or larger.
    static std::optional<PictureBuffer> ReadFile(const std::string& path);

    uint8_t* data() { return memory_.data(); }
    const uint8_t* data() const { return memory_.data(); }
    size_t size() const { return memory_.size(); }
    operator std::span<uint8_t>() { return {data(), size()}; }
    operator std::span<const uint8_t>() const { return {data(), size()}; }

  private:
    explicit PictureBuffer(platform::PageMemory memory) : memory_(std::move(memory)) {}
    platform::PageMemory memory_;
};

}  // namespace pipeline
