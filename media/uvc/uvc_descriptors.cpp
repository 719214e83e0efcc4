#include "media/uvc/uvc_descriptors.h"

#include <cstring>

namespace platform {
namespace {

constexpr uint8_t kInterfaceDescriptor = 0x04;
constexpr uint8_t kClassSpecificInterface = 0x24;
constexpr uint8_t kVideoClass = 0x0E;
constexpr uint8_t kVideoControlSubclass = 0x01;

}  // namespace

std::optional<std::vector<UvcEntity>> ParseVideoControlEntities(const uint8_t* data, size_t size,
                                                                uint8_t interface_number) {
    std::vector<UvcEntity> entities;
    bool inside = false;
    bool found = false;
    size_t pos = 0;
    while (pos < size) {
        uint8_t length = data[pos];
        if (length < 2 || pos + length > size) return std::nullopt;
        const uint8_t* d = data + pos;
        uint8_t type = d[1];
        if (type == kInterfaceDescriptor) {
            if (length < 9) return std::nullopt;
            // Alternate settings of the same interface repeat it; only setting 0 carries the entities.
            inside =
                d[2] == interface_number && d[3] == 0 && d[5] == kVideoClass && d[6] == kVideoControlSubclass;
            found = found || inside;
        } else if (inside && type == kClassSpecificInterface && length >= 4) {
            UvcEntity entity;
            entity.id = d[3];
            bool known = true;
            switch (d[2]) {
                case 0x02:
                    entity.kind = UvcEntityKind::InputTerminal;
                    break;
                case 0x03:
                    entity.kind = UvcEntityKind::OutputTerminal;
                    break;
                case 0x04:
                    entity.kind = UvcEntityKind::SelectorUnit;
                    break;
                case 0x05:
                    entity.kind = UvcEntityKind::ProcessingUnit;
                    break;
                case 0x06:
                    if (length < 20) return std::nullopt;
                    entity.kind = UvcEntityKind::ExtensionUnit;
                    std::memcpy(entity.guid, d + 4, 16);
                    break;
                case 0x07:
                    entity.kind = UvcEntityKind::EncodingUnit;
                    break;
                default:
                    known = false;
                    break;  // the VC header
            }
            if (known) entities.push_back(entity);
        }
        pos += length;
    }
    if (!found) return std::nullopt;
    return entities;
}

}  // namespace platform
