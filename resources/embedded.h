#pragma once
// Resource files compiled into the library (generated table, see cmake/EmbedFiles.cmake).

struct EmbeddedResource {
    unsigned type;
    unsigned id;
    const unsigned char* data;  // followed by a zero byte
    unsigned size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const unsigned kEmbeddedResourceCount;
