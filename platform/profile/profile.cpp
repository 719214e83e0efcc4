#include "platform/profile/profile.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/files/files.h"

namespace platform {
namespace {

struct Line {
    std::string text;        // without its line end
    std::string terminator;  // "\r\n", "\n", "\r" or "" for a last line without one
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsSpace(s[begin])) ++begin;
    while (end > begin && IsSpace(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string TrimRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && IsSpace(s[end - 1])) --end;
    return s.substr(0, end);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](unsigned char c) {
                   return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : char(c);
               };
               return lower(static_cast<unsigned char>(x)) == lower(static_cast<unsigned char>(y));
           });
}

std::vector<Line> SplitLines(const std::string& data) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back({data.substr(start), ""});
            break;
        }
        size_t term_len = (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1;
        lines.push_back({data.substr(start, end - start), data.substr(end, term_len)});
        start = end + term_len;
    }
    return lines;
}

// The section name of a header line, or nothing when the line is not a header.
std::optional<std::string> SectionName(const std::string& text) {
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
    size_t close = trimmed.find(']');
    std::string inside = close == std::string::npos ? trimmed.substr(1) : trimmed.substr(1, close - 1);
    return Trim(inside);
}

// The key name of a "key=value" line, or nothing.
std::optional<std::string> KeyName(const std::string& text) {
    size_t eq = text.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return Trim(text.substr(0, eq));
}

std::string ValueOf(const std::string& text) {
    std::string value = Trim(text.substr(text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

struct SectionRange {
    size_t header = 0;    // index of the header line
    size_t end = 0;       // one past the section's last line
    size_t last_key = 0;  // one past the last non-blank line of the section
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, const std::string& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionName(lines[i].text);
        if (!name || !SameName(*name, section)) continue;
        SectionRange range{i, i + 1, i + 1};
        for (size_t j = i + 1; j < lines.size() && !SectionName(lines[j].text); ++j) {
            range.end = j + 1;
            if (!Trim(lines[j].text).empty()) range.last_key = j + 1;
        }
        return range;
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                              const std::string& key) {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        auto name = KeyName(lines[i].text);
        if (name && SameName(*name, key)) return i;
    }
    return std::nullopt;
}

std::string WithoutLineBreaks(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string Join(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& line : lines) out += line.text + line.terminator;
    return out;
}

}  // namespace

size_t GetPrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& default_value, char* buffer, size_t size,
                               const std::string& path) {
    if (buffer == nullptr || size == 0) return 0;
    std::string value = TrimRight(default_value);
    if (auto data = ReadFile(path)) {
        std::vector<Line> lines = SplitLines(*data);
        if (auto range = FindSection(lines, Trim(section))) {
            if (auto index = FindKey(lines, *range, Trim(key))) value = ValueOf(lines[*index].text);
        }
    }
    size_t count = std::min(value.size(), size - 1);
    std::memcpy(buffer, value.data(), count);
    buffer[count] = '\0';
    return count;
}

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& default_value, size_t size) {
    std::vector<char> buffer(size == 0 ? 1 : size);
    size_t count = GetPrivateProfileString(section, key, default_value, buffer.data(), buffer.size(), path);
    return std::string(buffer.data(), count);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
    std::string clean_key = Trim(WithoutLineBreaks(key));
    std::string clean_section = Trim(WithoutLineBreaks(section));
    if (clean_key.empty() || clean_section.empty() || path.empty()) return false;
    std::string entry = clean_key + "=" + WithoutLineBreaks(value);

    std::optional<std::string> existing = ReadFileForRewrite(path);
    if (!existing) return false;
    std::vector<Line> lines = SplitLines(*existing);
    auto range = FindSection(lines, clean_section);
    if (!range) {
        if (!lines.empty() && lines.back().terminator.empty()) lines.back().terminator = "\r\n";
        lines.push_back({"[" + clean_section + "]", "\r\n"});
        lines.push_back({entry, "\r\n"});
    } else if (auto index = FindKey(lines, *range, clean_key)) {
        lines[*index] = Line{entry, "\r\n"};
    } else {
        size_t at = range->last_key;
        if (lines[at - 1].terminator.empty()) lines[at - 1].terminator = "\r\n";
        lines.insert(lines.begin() + static_cast<long>(at), Line{entry, "\r\n"});
    }
    return WriteFileReplacing(path, Join(lines));
}

bool DeletePrivateProfileKey(const std::string& section, const std::string& key, const std::string& path) {
    auto existing = ReadFileForRewrite(path);
    if (!existing) return false;
    std::vector<Line> lines = SplitLines(*existing);
    auto range = FindSection(lines, section);
    if (!range) return true;
    auto index = FindKey(lines, *range, key);
    if (!index) return true;
    lines.erase(lines.begin() + static_cast<long>(*index));
    return WriteFileReplacing(path, Join(lines));
}

}  // namespace platform
