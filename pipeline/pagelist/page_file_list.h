#pragma once
// The preview view's list of page files waiting to be gathered into one document or handed over
// together: a count and one block holding the paths one after another, each ended by a zero byte.
// The block is owned here and freed with the list.
//
// Not locked: the capture pipeline adds pages on its worker thread and the page dialogs consume
// them while no capture runs.

#include <string>
#include <string_view>
#include <vector>

namespace pipeline {

class PageFileList {
public:
    void AddPageFile(const std::string& path);

    // Sum of (path length + 1) over all entries: the size of the packed block.
    size_t PageFileListLength() const { return m_block.size(); }

    // Deletes every listed file, then empties the list. An empty list does nothing.
    void DeletePageFiles();
    // Empties the list and leaves the files where they are (someone else has taken them).
    void Clear();

    int Count() const { return m_nCount; }
    // The packed block (paths each ended by a zero byte); nullptr when the list is empty.
    const char* Block() const { return m_block.empty() ? nullptr : m_block.data(); }
    // The listed paths in the order they were added.
    std::vector<std::string_view> Paths() const;

private:
    int m_nCount = 0;
    std::vector<char> m_block;
};

}  // namespace pipeline
