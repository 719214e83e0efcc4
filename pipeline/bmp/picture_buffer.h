#pragma once
// Owned memory for whole picture files (up to about 15 MB). Large buffers ask for 2 MB pages, so a
// 15 MB picture costs a handful of page faults instead of thousands; on virtual machines those
// faults cost more than the pixel work itself.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pipeline {

class PictureBuffer {
public:
    PictureBuffer() = default;
    // Zero-filled; nothing when the memory is not available.
    static std::optional<PictureBuffer> Allocate(size_t size);
    // The whole file; nothing when it cannot be read completely or is 4 GB or larger.
    static std::optional<PictureBuffer> ReadFile(const std::string& path);

    ~PictureBuffer();
    PictureBuffer(PictureBuffer&& other) noexcept;
    PictureBuffer& operator=(PictureBuffer&& other) noexcept;
    PictureBuffer(const PictureBuffer&) = delete;
    PictureBuffer& operator=(const PictureBuffer&) = delete;

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    operator std::span<uint8_t>() { return {data_, size_}; }
    operator std::span<const uint8_t>() const { return {data_, size_}; }

private:
    void Release();
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
    size_t mapping_size_ = 0;
};

}  // namespace pipeline
