#pragma once
// Loads a shared library by file name from the program folder (dlopen/dlsym), like LoadLibrary on a
// name beside the program. The library stays loaded while the Library object lives.

#include <string>

namespace platform {

class Library {
  public:
    Library() = default;
    ~Library();
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // "JpegLib.dll" -> <program folder>/JpegLib.dll. A name containing '/' is used as it stands.
    static Library Load(const std::string& file_name);
    // The same from a given folder.
    static Library LoadFrom(const std::string& folder, const std::string& file_name);

    bool Loaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return Loaded(); }

    // The exported symbol, or nullptr.
    void* Symbol(const char* name) const;
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(Symbol(name));
    }

    // The loader's message for the last failed load (for the debug log).
    const std::string& Error() const { return error_; }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace platform
