#include "pipeline/pagelist/page_file_list.h"

#include <array>
#include <cctype>

#include "pipeline/bmp/bmp_ops.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/files/private_temp.h"

namespace pipeline {

void PageFileList::AddPageFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    // A path holding a zero byte would split into two entries of the packed block.
    const std::string entry(path.c_str());
    m_newest = entry;
    if (m_retake >= 0 && m_retake < m_nCount) {
        std::vector<std::string> paths = PathsLocked();
        if (paths[static_cast<size_t>(m_retake)] != entry &&
            !platform::DeleteFile(paths[static_cast<size_t>(m_retake)]))
            platform::DebugLog("pages", "cannot delete the retaken page %s",
                               paths[static_cast<size_t>(m_retake)].c_str());
        paths[static_cast<size_t>(m_retake)] = entry;
        m_retake = -1;
        Rebuild(paths);
    } else {
        m_block.insert(m_block.end(), entry.begin(), entry.end());
        m_block.push_back('\0');
        ++m_nCount;
    }
    Changed();
}

int PageFileList::NewestIndex() const {
    std::lock_guard lock(m_mutex);
    const std::vector<std::string> paths = PathsLocked();
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == m_newest) return static_cast<int>(i);
    return -1;
}

size_t PageFileList::PageFileListLength() const {
    std::lock_guard lock(m_mutex);
    return m_block.size();
}

int PageFileList::Count() const {
    std::lock_guard lock(m_mutex);
    return m_nCount;
}

std::vector<std::string_view> PageFileList::Paths() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string_view> paths;
    paths.reserve(static_cast<size_t>(m_nCount));
    for (size_t at = 0; at < m_block.size();) {
        std::string_view path(m_block.data() + at);
        paths.push_back(path);
        at += path.size() + 1;
    }
    return paths;
}

std::vector<std::string> PageFileList::PathsLocked() const {
    std::vector<std::string> paths;
    for (size_t at = 0; at < m_block.size();) {
        paths.emplace_back(m_block.data() + at);
        at += paths.back().size() + 1;
    }
    return paths;
}

std::vector<std::string> PageFileList::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return PathsLocked();
}

void PageFileList::Rebuild(const std::vector<std::string>& paths) {
    m_block.clear();
    for (const std::string& path : paths) {
        m_block.insert(m_block.end(), path.begin(), path.end());
        m_block.push_back('\0');
    }
    m_nCount = static_cast<int>(paths.size());
}

void PageFileList::Changed() {
    ++m_version;
    if (m_listFile.empty()) return;
    if (m_nCount == 0) {
        platform::DeleteFile(m_listFile);
        return;
    }
    std::string text;
    for (const std::string& path : PathsLocked()) text += path + "\n";
    const std::array<std::string_view, 1> parts{text};
    if (!platform::WritePrivateFile(m_listFile, parts))
        platform::DebugLog("pages", "cannot write the page order to %s", m_listFile.c_str());
}

void PageFileList::DeletePageFiles() {
    std::lock_guard lock(m_mutex);
    if (m_nCount == 0) return;
    for (const std::string& name : PathsLocked())
        if (!platform::DeleteFile(name)) platform::DebugLog("pages", "cannot delete %s", name.c_str());
    m_block.clear();
    m_block.shrink_to_fit();
    m_nCount = 0;
    m_retake = -1;
    Changed();
}

void PageFileList::Clear() {
    std::lock_guard lock(m_mutex);
    m_block.clear();
    m_block.shrink_to_fit();
    m_nCount = 0;
    m_retake = -1;
    Changed();
}

bool PageFileList::MovePage(int from, int to) {
    std::lock_guard lock(m_mutex);
    if (from < 0 || to < 0 || from >= m_nCount || to >= m_nCount) return false;
    if (from == to) return true;
    std::vector<std::string> paths = PathsLocked();
    std::string moved = std::move(paths[static_cast<size_t>(from)]);
    paths.erase(paths.begin() + from);
    paths.insert(paths.begin() + to, std::move(moved));
    Rebuild(paths);
    m_retake = -1;
    Changed();
    return true;
}

bool PageFileList::DeletePage(int index) {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= m_nCount) return false;
    std::vector<std::string> paths = PathsLocked();
    const std::string& path = paths[static_cast<size_t>(index)];
    if (!platform::DeleteFile(path) && platform::GetFileAttributes(path)) {
        platform::DebugLog("pages", "cannot delete %s", path.c_str());
        return false;
    }
    paths.erase(paths.begin() + index);
    Rebuild(paths);
    m_retake = -1;
    Changed();
    return true;
}

bool PageFileList::TurnPage(int index, bool clockwise) {
    std::lock_guard lock(m_mutex);
    if (index < 0 || index >= m_nCount) return false;
    const std::string path = PathsLocked()[static_cast<size_t>(index)];
    // The picture is replaced in one step: a failure leaves the page as it was.
    if (RotateBmpQuarter(path, clockwise ? 0 : 1) != 1) {
        platform::DebugLog("pages", "cannot turn %s", path.c_str());
        return false;
    }
    ++m_version;
    return true;
}

bool PageFileList::MarkRetake(int index) {
    std::lock_guard lock(m_mutex);
    if (index < -1 || index >= m_nCount) return false;
    m_retake = index;
    ++m_version;
    return true;
}

int PageFileList::RetakeIndex() const {
    std::lock_guard lock(m_mutex);
    return m_retake;
}

uint64_t PageFileList::Version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
}

void PageFileList::SetListFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_listFile = path;
    if (m_nCount > 0) Changed();
}

std::vector<std::string> ReadPageListFile(const std::string& list_file, const std::string& folder) {
    std::vector<std::string> pages;
    const std::optional<std::string> text = platform::ReadFile(list_file);
    if (!text) return pages;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        const std::string line = text->substr(start, end - start);
        start = end + 1;
        const bool inside = line.size() > folder.size() + 4 && line.compare(0, folder.size(), folder) == 0 &&
                            line.find('/', folder.size()) == std::string::npos &&
                            line.compare(line.size() - 4, 4, ".bmp") == 0;
        if (inside)
            pages.push_back(line);
        else if (!line.empty())
            platform::DebugLog("pages", "%s in the page order is not a page of ours", line.c_str());
    }
    return pages;
}

bool PageNameBefore(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

}  // namespace pipeline
