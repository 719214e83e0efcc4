#pragma once
// The preview view's list of page files waiting to be gathered into one document or handed over
// together: a count and one block holding the paths one after another, each ended by a zero byte.
// The block is owned here and freed with the list.
//
// The pages can be reviewed before the document is written: moved, deleted, turned by a quarter, or
// marked for a retake, whose next page then takes the marked page's place. With a list file set, the
// order is written to it (one path a line, replaced in one step) after every change, so the pages of a
// run that crashed are found again in their order at the next start.
//
// Every call takes the list's lock, so the page strip (GUI thread) and the capture worker may both use
// it. Block() and Paths() return views into the list: read them only while no other thread changes it
// (the strip edits only while no capture is under way).

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pipeline {

class PageFileList {
  public:
    // Appends the page, or puts it in the place of the page marked for a retake (whose file is deleted).
    void AddPageFile(const std::string& path);

    // Sum of (path length + 1) over all entries: the size of the packed block.
    size_t PageFileListLength() const;

    // Deletes every listed file, then empties the list. An empty list does nothing.
    void DeletePageFiles();
    // Empties the list and leaves the files where they are (someone else has taken them).
    void Clear();

    int Count() const;
    // The packed block (paths each ended by a zero byte); nullptr when the list is empty.
    const char* Block() const { return m_block.empty() ? nullptr : m_block.data(); }
    // The listed paths in list order.
    std::vector<std::string_view> Paths() const;
    // A copy of the paths, safe to keep while the list changes.
    std::vector<std::string> Snapshot() const;

    // The review of the pages; `index` counts from 0. Each returns false (and changes nothing) for an
    // index out of range or a file that cannot be changed.
    // Moves page `from` to position `to`, the pages between closing up.
    bool MovePage(int from, int to);
    // Deletes the page and its file.
    bool DeletePage(int index);
    // Turns the page's picture a quarter: clockwise, or counter-clockwise.
    bool TurnPage(int index, bool clockwise);
    // The next page added replaces this one; -1 takes the mark back. A move or delete takes it back too.
    bool MarkRetake(int index);
    int RetakeIndex() const;
    // Where the page added last now stands (after moves), or -1 when it is gone: the page still lying
    // on the desk, which a retake can take again as it is.
    int NewestIndex() const;

    // Counts every change of the list or of a page's picture, so a view can tell when to look again.
    uint64_t Version() const;

    // Where the order is kept on disk; empty for none. Written at once when the list has pages.
    void SetListFile(const std::string& path);

  private:
    void Rebuild(const std::vector<std::string>& paths);  // the block from paths; the lock is held
    std::vector<std::string> PathsLocked() const;
    void Changed();  // the version and the list file; the lock is held

    mutable std::mutex m_mutex;
    int m_nCount = 0;
    std::vector<char> m_block;
    int m_retake = -1;
    std::string m_newest;  // the path added last
    uint64_t m_version = 0;
    std::string m_listFile;
};

// The pages a list file names, in its order: only paths directly inside `folder` (the private folder) and
// ending in ".bmp"; anything else in it is not ours and is skipped.
std::vector<std::string> ReadPageListFile(const std::string& list_file, const std::string& folder);

// Orders page names as they were taken: numbers compare by value, so "-page10" follows "-page9".
bool PageNameBefore(const std::string& a, const std::string& b);

}  // namespace pipeline
