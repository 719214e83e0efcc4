#pragma once
// How a file operation went. On failure it carries the reason in plain words (the system's own, as
// strerror gives it), fit to show a person; the path and the call go to the debug log.

#include <string>

namespace platform {

struct FileResult {
    std::string error;  // empty: it worked

    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }

    static FileResult Done() { return {}; }
    static FileResult Failed(std::string reason) {
        return {reason.empty() ? "unknown error" : std::move(reason)};
    }
    // The reason of an errno value.
    static FileResult FromErrno(int errnum);
};

}  // namespace platform
