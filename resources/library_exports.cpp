// The two entry points of the resource library.
#include "resources/embedded.h"
#include "resources/strings.h"
#include "resources/vellumo_res.h"

#define VELLUMO_RES_EXPORT extern "C" __attribute__((visibility("default")))

VELLUMO_RES_EXPORT const char* VellumoRes_LoadString(unsigned id) {
    for (unsigned i = 0; i < kResourceStringCount; ++i)
        if (kResourceStrings[i].id == id) return kResourceStrings[i].text;
    return nullptr;
}

VELLUMO_RES_EXPORT const unsigned char* VellumoRes_FindResource(unsigned type, unsigned id, unsigned* size) {
    for (unsigned i = 0; i < kEmbeddedResourceCount; ++i) {
        const EmbeddedResource& resource = kEmbeddedResources[i];
        if (resource.type == type && resource.id == id) {
            if (size != nullptr) *size = resource.size;
            return resource.data;
        }
    }
    if (size != nullptr) *size = 0;
    return nullptr;
}
