#pragma once
// Accelerator tables of the resource library: one "<key sequence>=<command ID>" a line, for example
// "Ctrl+S=805". Lines that do not parse are skipped.

#include <string>
#include <vector>

struct Accelerator {
    std::string keys;  // in the toolkit's portable key-sequence text
    int command = 0;
};

std::vector<Accelerator> ParseAccelerators(const std::string& table);
