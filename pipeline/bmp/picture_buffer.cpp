#include "pipeline/bmp/picture_buffer.h"

#include "platform/files/files.h"

namespace pipeline {

std::optional<PictureBuffer> PictureBuffer::Allocate(size_t size) {
    auto memory = platform::PageMemory::Allocate(size);
    if (!memory) return std::nullopt;
    return PictureBuffer(std::move(*memory));
}

std::optional<PictureBuffer> PictureBuffer::ReadFile(const std::string& path) {
    auto file = platform::InputFile::Open(path);
    if (!file || file->size() >= (uint64_t{1} << 32)) return std::nullopt;
    auto buffer = Allocate(static_cast<size_t>(file->size()));
    if (!buffer || !file->ReadExactly(buffer->data(), buffer->size())) return std::nullopt;
    return buffer;
}

}  // namespace pipeline
