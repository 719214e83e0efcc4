#include "pipeline/bmp/picture_buffer.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace pipeline {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

std::optional<PictureBuffer> PictureBuffer::Allocate(size_t size) {
    constexpr size_t kHugePage = size_t{2} << 20;
    PictureBuffer buffer;
    if (size == 0) return buffer;
    const bool huge = size >= kHugePage;
    // Room to start the buffer on a 2 MB boundary, where the kernel can back it with large pages.
    const size_t mapping_size = huge ? size + kHugePage : size;
    void* p = ::mmap(nullptr, mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return std::nullopt;
    buffer.mapping_ = p;
    buffer.mapping_size_ = mapping_size;
    auto start = reinterpret_cast<uintptr_t>(p);
    if (huge) {
        start = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
        ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);  // only a hint
    }
    buffer.data_ = reinterpret_cast<uint8_t*>(start);
    buffer.size_ = size;
    return buffer;
}

std::optional<PictureBuffer> PictureBuffer::ReadFile(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (static_cast<uint64_t>(st.st_size) >= (uint64_t{1} << 32)) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    auto buffer = Allocate(static_cast<size_t>(st.st_size));
    if (!buffer) return std::nullopt;
    size_t done = 0;
    while (done < buffer->size_) {
        ssize_t n = ::read(fd.get(), buffer->data_ + done, buffer->size_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;  // an error, or the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    return buffer;
}

PictureBuffer::~PictureBuffer() { Release(); }

PictureBuffer::PictureBuffer(PictureBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_size_(std::exchange(other.mapping_size_, 0)) {}

PictureBuffer& PictureBuffer::operator=(PictureBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mapping_size_ = std::exchange(other.mapping_size_, 0);
    }
    return *this;
}

void PictureBuffer::Release() {
    if (mapping_ != nullptr) ::munmap(mapping_, mapping_size_);
    mapping_ = nullptr;
    mapping_size_ = 0;
    data_ = nullptr;
    size_ = 0;
}

}  // namespace pipeline
