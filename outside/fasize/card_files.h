#pragma once
// Names and contents of the files the card detector writes beside the picture. No file access here.

#include <string>
#include <vector>

namespace outside {

// picture's folder and base name + number in four digits + picture's extension (with its dot).
std::string CardFilePath(const std::string& picture, int number);

// picture with the extension after its last "." replaced by "txt" ("." + "txt" appended when the
// file name has no ".").
std::string CardListPath(const std::string& picture);

struct CardEntry {
    int number = 0;
    std::string file;  // UTF-8
    int left = 0, top = 0, width = 0, height = 0;
    double angle_degrees = 0;
};

// The list file's bytes: UTF-16LE with byte-order mark, CR LF line ends, a header line
// "[Cards] Count=<n>" and one "No=..." line per card.
std::string CardListText(const std::vector<CardEntry>& cards);

// UTF-8 to UTF-16LE bytes; malformed sequences become U+FFFD.
std::string Utf16LeFromUtf8(const std::string& text);

}  // namespace outside
