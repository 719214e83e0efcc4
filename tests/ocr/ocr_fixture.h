#pragma once
// A sandbox for the hand-over tests: its own private temporary folder (under XDG_RUNTIME_DIR), machine
// registry and save folder,
// and readers for what the doubles recorded.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pipeline/capture/capture_request.h"
#include "platform/files/files.h"
#include "settings/settings.h"
#include "tests/support/scratch_folder.h"

namespace ocr_test {

class Sandbox : public ::testing::Test {
  protected:
    // One sandbox for the whole program, made before the first test changes the environment, so that no
    // process or thread ever sees the variables change under it.
    static void SetUpTestSuite() {
        static test_support::ScratchFolder folder;
        if (scratch_ != nullptr) return;
        scratch_ = &folder;
        ::setenv("XDG_RUNTIME_DIR", scratch_->Path("run").c_str(), 1);
        ::setenv("VELLUMO_REGISTRY_MACHINE", scratch_->Path("registry.ini").c_str(), 1);
        ::setenv("OCR_DOUBLE_RECORD", scratch_->Path("engine.args").c_str(), 1);
        ::setenv("ZORVEX_DOUBLE_RECORD", scratch_->Path("record").c_str(), 1);
    }
    void SetUp() override {
        platform::DeleteFile(Path("engine.args"));
        Clear("run");
        Clear("save");
        Clear("pictures");
        Clear("programs");
        platform::DeleteFile(Path("registry.ini"));
        settings_.m_szSavePath = Path("save") + "/";
        settings_.m_szPrefix = "OCR";
        ::unsetenv("OCR_DOUBLE_MODE");
        ::unsetenv("CARD_DOUBLE_KEEP");
        for (const char* ending : {".args", ".list", ".count", ".done", ".ini"})
            platform::DeleteFile(Path("record") + ending);
    }

    static std::string Path(const std::string& name) { return scratch_->Path(name); }
    // The program's private temporary folder inside the sandbox.
    static constexpr const char* kTemp = "run/Vellumo";
    // What a capture would hand over with the settings as they are now.
    pipeline::CaptureRequest Request(int hand_over_target = 0) const {
        return pipeline::MakeCaptureRequest(settings_, 0, hand_over_target);
    }
    static void Clear(const std::string& folder) {
        std::error_code ignored;
        std::filesystem::remove_all(Path(folder), ignored);
        std::filesystem::create_directories(Path(folder));
    }
    static std::vector<std::string> Entries(const std::string& folder) {
        auto names = platform::FolderEntries(Path(folder));
        std::vector<std::string> sorted = names ? *names : std::vector<std::string>{};
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
    // Arguments a double recorded, each ended by a zero byte.
    static std::vector<std::string> RecordedArguments(const std::string& file) {
        std::vector<std::string> arguments;
        std::string text = platform::ReadFile(file).value_or("");
        for (size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1)
            arguments.push_back(text.substr(start, end - start));
        return arguments;
    }

    CVellumoSettings settings_;
    static inline test_support::ScratchFolder* scratch_ = nullptr;
};

}  // namespace ocr_test
