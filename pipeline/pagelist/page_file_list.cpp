#include "pipeline/pagelist/page_file_list.h"

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace pipeline {

void PageFileList::AddPageFile(const std::string& path) {
    // A path holding a zero byte would split into two entries of the packed block.
    std::string_view entry(path.c_str());
    m_block.insert(m_block.end(), entry.begin(), entry.end());
    m_block.push_back('\0');
    ++m_nCount;
}

std::vector<std::string_view> PageFileList::Paths() const {
    std::vector<std::string_view> paths;
    paths.reserve(static_cast<size_t>(m_nCount));
    for (size_t at = 0; at < m_block.size();) {
        std::string_view path(m_block.data() + at);
        paths.push_back(path);
        at += path.size() + 1;
    }
    return paths;
}

void PageFileList::DeletePageFiles() {
    if (m_nCount == 0) return;
    for (std::string_view path : Paths()) {
        std::string name(path);
        if (!platform::DeleteFile(name)) platform::DebugLog("pages", "cannot delete %s", name.c_str());
    }
    Clear();
}

void PageFileList::Clear() {
    m_block.clear();
    m_block.shrink_to_fit();
    m_nCount = 0;
}

}  // namespace pipeline
