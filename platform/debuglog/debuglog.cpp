#include "platform/debuglog/debuglog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

bool DebugLogEnabled() {
    const char* value = std::getenv("VELLUMO_DEBUG");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

void DebugLog(const char* subsystem, const char* format, ...) {
    if (!DebugLogEnabled()) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::fprintf(stderr, "[%s] %s\n", subsystem, line);
}

}  // namespace platform
