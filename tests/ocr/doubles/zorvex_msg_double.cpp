// Stands in for ZorvexMsg.dll: records the count it is called with in $ZORVEX_DOUBLE_RECORD.count and,
// like the real library handing the list to the running explorer program, returns once the explorer
// double has taken its list (bounded, so a missing program cannot hang the caller).
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

extern "C" __attribute__((visibility("default"))) int GetZorvexMsg(int count) {
    const char* record = std::getenv("ZORVEX_DOUBLE_RECORD");
    if (record == nullptr) return 0;
    if (FILE* f = std::fopen((std::string(record) + ".count").c_str(), "w")) {
        std::fprintf(f, "%d", count);
        std::fclose(f);
    }
    const std::string done = std::string(record) + ".done";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    struct stat st {};
    while (::stat(done.c_str(), &st) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return 1;
}
