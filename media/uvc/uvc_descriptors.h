#pragma once
// The units and terminals of a USB video camera, read from its raw USB descriptors (the "descriptors"
// file of the USB device in sysfs: device descriptor followed by the configuration descriptors).
// Pure logic, no I/O.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

enum class UvcEntityKind : uint8_t {
    InputTerminal,  // camera terminal or other input
    OutputTerminal,
    SelectorUnit,
    ProcessingUnit,
    ExtensionUnit,
    EncodingUnit,
};

struct UvcEntity {
    UvcEntityKind kind = UvcEntityKind::InputTerminal;
    uint8_t id = 0;         // bTerminalID / bUnitID
    uint8_t guid[16] = {};  // guidExtensionCode, extension units only
};

// The entities of the video-control interface with the given interface number, in descriptor order.
// Nothing when no such interface exists or the descriptors are malformed.
std::optional<std::vector<UvcEntity>> ParseVideoControlEntities(const uint8_t* data, size_t size,
                                                                uint8_t interface_number);

}  // namespace platform
