#pragma once

struct ResourceString {
    unsigned id;
    const char* text;
};

extern const ResourceString kResourceStrings[];
extern const unsigned kResourceStringCount;
