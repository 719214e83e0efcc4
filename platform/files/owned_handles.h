#pragma once
// Owners of the C handles the platform layer opens: each closes its handle exactly once.

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace platform {

// A file descriptor; -1 when empty.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes now and reports whether the close succeeded (a delayed write error shows here).
    bool close() {
        int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_ = -1;
};

// An open folder listing; empty when the folder could not be opened.
class UniqueDir {
  public:
    UniqueDir() = default;
    explicit UniqueDir(DIR* dir) : dir_(dir) {}
    ~UniqueDir() {
        if (dir_ != nullptr) ::closedir(dir_);
    }
    UniqueDir(UniqueDir&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
    UniqueDir& operator=(UniqueDir&& other) noexcept {
        if (this != &other) {
            if (dir_ != nullptr) ::closedir(dir_);
            dir_ = std::exchange(other.dir_, nullptr);
        }
        return *this;
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;

    DIR* get() const { return dir_; }
    explicit operator bool() const { return dir_ != nullptr; }

  private:
    DIR* dir_ = nullptr;
};

}  // namespace platform
