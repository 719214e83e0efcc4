#include "outside/finecmd/thread_limit.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace outside {

void RunWithOneOpenMpThread(char** argv) {
    if (std::getenv("OMP_THREAD_LIMIT") != nullptr) return;
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv);
    std::fprintf(stderr, "cannot restart with one recognition thread (%s); going on\n", std::strerror(errno));
}

}  // namespace outside
