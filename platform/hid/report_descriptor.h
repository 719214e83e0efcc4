#pragma once
// HID report descriptor parser: turns the raw descriptor (as sysfs and HIDIOCGRDESC give it) into the
// capability records the camera discovery consults, with the shapes Windows' HID parser gives them:
// report byte lengths per report type (one byte for the report ID included), button capabilities
// (one-bit fields and arrays) and value capabilities, each with usage page, usage or usage range
// and report ID. Pure logic, no I/O.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

enum class HidReportType : uint8_t { Input = 0, Output = 1, Feature = 2 };
inline constexpr size_t kHidReportTypeCount = 3;

// What button and value capabilities share.
struct HidCapsCommon {
    uint16_t usage_page = 0;
    uint8_t report_id = 0;
    uint16_t link_collection = 0;
    bool is_range = false;
    uint16_t usage_min = 0;  // the single usage when !is_range
    uint16_t usage_max = 0;
    uint16_t report_count = 0;
};

struct HidButtonCaps : HidCapsCommon {
    bool is_array = false;
};

struct HidValueCaps : HidCapsCommon {
    uint16_t bit_size = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
};

// The counterpart of HIDP_CAPS, indexed by HidReportType.
struct HidCaps {
    uint16_t usage = 0;  // of the first top-level collection
    uint16_t usage_page = 0;
    std::array<uint16_t, kHidReportTypeCount> report_byte_length{};
    std::array<uint16_t, kHidReportTypeCount> number_button_caps{};
    std::array<uint16_t, kHidReportTypeCount> number_value_caps{};
    uint16_t number_link_collection_nodes = 0;
};

struct HidReportLayout {
    HidCaps caps;
    std::array<std::vector<HidButtonCaps>, kHidReportTypeCount> button_caps;
    std::array<std::vector<HidValueCaps>, kHidReportTypeCount> value_caps;
};

// Nothing when the descriptor is malformed (truncated item, unbalanced collections or push/pop,
// a report longer than HID allows).
std::optional<HidReportLayout> ParseReportDescriptor(const uint8_t* data, size_t size);
inline std::optional<HidReportLayout> ParseReportDescriptor(const std::vector<uint8_t>& bytes) {
    return ParseReportDescriptor(bytes.data(), bytes.size());
}

// The most button usages one report of this type and usage page can hold (HidP_MaxUsageListLength).
uint32_t MaxUsageListLength(const HidReportLayout& layout, HidReportType type, uint16_t usage_page);

inline size_t HidTypeIndex(HidReportType type) { return static_cast<size_t>(type); }

}  // namespace platform
