#pragma once
// A fresh folder under the temp folder for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace pipeline_test {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vellumo-pipeline-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            // Folders a test made read-only must be opened again before they can be emptied.
            for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
                if (entry.is_directory(ignored))
                    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                                 std::filesystem::perm_options::add, ignored);
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder with a trailing '/', as SAVEPATH holds it.
    std::string Slash() const { return path_ + "/"; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

    void Touch(const std::string& name) const { std::ofstream(Path(name)) << ""; }

private:
    std::string path_;
};

}  // namespace pipeline_test
