#pragma once
// The documents FineCmd.exe writes from recognised pages: plain text, RTF and the rows of a worksheet.

#include <cstdint>
#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"

namespace outside {

// The code point at `i` of a UTF-8 text, moving `i` past it; a malformed byte stands for itself (Latin-1).
uint32_t NextCodePoint(const std::string& text, size_t& i);

// UTF-8 text: lines end in "\n", paragraphs are parted by an empty line, pages by a form feed.
std::string PlainText(const std::vector<PageText>& pages);

// An RTF document: paragraphs as \par, line breaks as \line, pages as \page; '\', '{' and '}' escaped and
// every character beyond ASCII written as \uN (with a '?' for readers that cannot show it).
std::string RichText(const std::vector<PageText>& pages);
// One text escaped for RTF (no group, no paragraph).
std::string RtfEscape(const std::string& utf8);

// One row per text line, the line cut into cells where the gap between two words is wider than twice
// the line's height.
std::vector<std::vector<std::string>> WorksheetRows(const std::vector<PageText>& pages);

}  // namespace outside
