#include "platform/library/library.h"

#include <dlfcn.h>

#include <utility>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace platform {

Library::~Library() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

Library::Library(Library&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

Library Library::Load(const std::string& file_name) {
    if (file_name.find('/') != std::string::npos) return LoadFrom("", file_name);
    return LoadFrom(ProgramFolder(), file_name);
}

Library Library::LoadFrom(const std::string& folder, const std::string& file_name) {
    Library library;
    std::string path = folder.empty() ? file_name : JoinPath(folder, file_name);
    library.handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library.handle_ == nullptr) {
        const char* message = ::dlerror();
        library.error_ = message != nullptr ? message : "unknown error";
        DebugLog("library", "cannot load %s: %s", path.c_str(), library.error_.c_str());
    }
    return library;
}

void* Library::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace platform
