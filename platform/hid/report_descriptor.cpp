#include "platform/hid/report_descriptor.h"

#include <algorithm>
#include <map>
#include <utility>

namespace platform {
namespace {

// HID item tags (HID 1.11, 6.2.2).
enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };

constexpr uint32_t kMaxReportBits = 8 * 4096;  // far above any real report; guards the arithmetic

struct GlobalState {
    uint16_t usage_page = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    uint32_t report_size = 0;
    uint8_t report_id = 0;
    uint32_t report_count = 0;
};

struct LocalState {
    std::vector<uint32_t> usages;  // high 16 bits: explicit usage page, 0 = the global one
    std::optional<uint32_t> usage_min, usage_max;
    void Clear() { *this = LocalState{}; }
};

uint32_t Unsigned(const uint8_t* p, size_t n) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

int32_t Signed(const uint8_t* p, size_t n) {
    uint32_t v = Unsigned(p, n);
    if (n == 1) return static_cast<int8_t>(v);
    if (n == 2) return static_cast<int16_t>(v);
    return static_cast<int32_t>(v);
}

uint16_t PageOf(uint32_t extended, uint16_t global_page) {
    return (extended >> 16) != 0 ? static_cast<uint16_t>(extended >> 16) : global_page;
}

class Parser {
  public:
    std::optional<HidReportLayout> Run(const uint8_t* data, size_t size) {
        size_t pos = 0;
        while (pos < size) {
            uint8_t prefix = data[pos];
            if (prefix == 0xFE) {  // long item: skip it
                if (pos + 2 >= size) return std::nullopt;
                size_t long_size = data[pos + 1];
                pos += 3 + long_size;
                if (pos > size) return std::nullopt;
                continue;
            }
            size_t n = prefix & 0x3;
            if (n == 3) n = 4;
            uint8_t type = (prefix >> 2) & 0x3;
            uint8_t tag = prefix >> 4;
            if (pos + 1 + n > size) return std::nullopt;
            const uint8_t* item = data + pos + 1;
            pos += 1 + n;
            bool ok = true;
            if (type == 0)
                ok = Main(tag, Unsigned(item, n));
            else if (type == 1)
                ok = Global(tag, item, n);
            else if (type == 2)
                Local(tag, Unsigned(item, n), n);
            if (!ok) return std::nullopt;
        }
        if (depth_ != 0 || !stack_.empty()) return std::nullopt;
        Finish();
        return std::move(layout_);
    }

  private:
    bool Main(uint8_t tag, uint32_t flags) {
        switch (tag) {
            case kCollection:
                if (depth_ == 0 && !seen_top_collection_) {
                    seen_top_collection_ = true;
                    uint32_t usage = local_.usages.empty() ? 0 : local_.usages.front();
                    layout_.caps.usage = static_cast<uint16_t>(usage & 0xFFFF);
                    layout_.caps.usage_page = PageOf(usage, global_.usage_page);
                }
                ++depth_;
                open_collections_.push_back(collection_);
                collection_ = collections_++;
                break;
            case kEndCollection:
                if (depth_ == 0) return false;
                --depth_;
                collection_ = open_collections_.back();
                open_collections_.pop_back();
                break;
            case kInput:
                if (!Field(HidReportType::Input, flags)) return false;
                break;
            case kOutput:
                if (!Field(HidReportType::Output, flags)) return false;
                break;
            case kFeature:
                if (!Field(HidReportType::Feature, flags)) return false;
                break;
            default:
                break;
        }
        local_.Clear();
        return true;
    }

    bool Global(uint8_t tag, const uint8_t* item, size_t n) {
        switch (tag) {
            case kUsagePage:
                global_.usage_page = static_cast<uint16_t>(Unsigned(item, n));
                break;
            case kLogicalMin:
                global_.logical_min = Signed(item, n);
                break;
            case kLogicalMax:
                global_.logical_max = Signed(item, n);
                break;
            case kReportSize:
                global_.report_size = Unsigned(item, n);
                break;
            case kReportId: {
                uint32_t id = Unsigned(item, n);
                if (id == 0 || id > 255) return false;
                global_.report_id = static_cast<uint8_t>(id);
                break;
            }
            case kReportCount:
                global_.report_count = Unsigned(item, n);
                break;
            case kPush:
                stack_.push_back(global_);
                break;
            case kPop:
                if (stack_.empty()) return false;
                global_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;
        }
        return true;
    }

    void Local(uint8_t tag, uint32_t value, size_t n) {
        // A 4-byte usage carries its own usage page in the high half.
        uint32_t extended = n == 4 ? value : (value & 0xFFFF);
        if (tag == kUsage)
            local_.usages.push_back(extended);
        else if (tag == kUsageMin)
            local_.usage_min = extended;
        else if (tag == kUsageMax)
            local_.usage_max = extended;
    }

    bool Field(HidReportType type, uint32_t flags) {
        uint64_t bits = static_cast<uint64_t>(global_.report_size) * global_.report_count;
        uint32_t& total = report_bits_[{HidTypeIndex(type), global_.report_id}];
        if (total + bits > kMaxReportBits) return false;
        total += static_cast<uint32_t>(bits);
        bool constant = (flags & 0x01) != 0;
        if (constant || bits == 0) return true;  // padding carries no capability
        bool is_array = (flags & 0x02) == 0;
        bool is_button = is_array || global_.report_size == 1;
        size_t t = HidTypeIndex(type);

        bool ranged = local_.usage_min.has_value() && local_.usage_max.has_value();
        if (ranged || local_.usages.empty()) {
            uint32_t lo = ranged ? *local_.usage_min : 0;
            uint32_t hi = ranged ? *local_.usage_max : 0;
            if ((lo & 0xFFFF) > (hi & 0xFFFF)) return false;  // a range that runs backwards
            AddCaps(t, is_button, is_array, ranged, PageOf(lo, global_.usage_page), lo & 0xFFFF, hi & 0xFFFF,
                    global_.report_count);
            return true;
        }
        // Explicit usages: one capability each; the last one takes the remaining report count.
        size_t count = local_.usages.size();
        uint32_t left = global_.report_count;
        for (size_t i = 0; i < count && left > 0; ++i) {
            uint32_t usage = local_.usages[i];
            uint32_t this_count = (i + 1 == count || is_array) ? left : 1;
            AddCaps(t, is_button, is_array, false, PageOf(usage, global_.usage_page), usage & 0xFFFF,
                    usage & 0xFFFF, this_count);
            if (is_array) break;
            left -= this_count;
        }
        return true;
    }

    void AddCaps(size_t t, bool is_button, bool is_array, bool is_range, uint16_t page, uint32_t lo,
                 uint32_t hi, uint32_t count) {
        HidCapsCommon common;
        common.usage_page = page;
        common.report_id = global_.report_id;
        common.link_collection = collection_;
        common.is_range = is_range;
        common.usage_min = static_cast<uint16_t>(lo);
        common.usage_max = static_cast<uint16_t>(is_range ? hi : lo);
        common.report_count = static_cast<uint16_t>(count);
        if (is_button) {
            HidButtonCaps caps{common};
            caps.is_array = is_array;
            layout_.button_caps[t].push_back(caps);
        } else {
            HidValueCaps caps{common};
            caps.bit_size = static_cast<uint16_t>(global_.report_size);
            caps.logical_min = global_.logical_min;
            caps.logical_max = global_.logical_max;
            layout_.value_caps[t].push_back(caps);
        }
    }

    void Finish() {
        // Windows counts the report ID byte in every report length, also when the device uses none.
        for (const auto& [key, bits] : report_bits_) {
            uint16_t bytes = static_cast<uint16_t>((bits + 7) / 8 + 1);
            uint16_t& length = layout_.caps.report_byte_length[key.first];
            if (bits > 0 && bytes > length) length = bytes;
        }
        for (size_t t = 0; t < kHidReportTypeCount; ++t) {
            layout_.caps.number_button_caps[t] = static_cast<uint16_t>(layout_.button_caps[t].size());
            layout_.caps.number_value_caps[t] = static_cast<uint16_t>(layout_.value_caps[t].size());
        }
        layout_.caps.number_link_collection_nodes = collections_;
    }

    HidReportLayout layout_;
    GlobalState global_;
    LocalState local_;
    std::vector<GlobalState> stack_;
    std::map<std::pair<size_t, uint8_t>, uint32_t> report_bits_;
    int depth_ = 0;
    uint16_t collections_ = 0;
    uint16_t collection_ = 0;  // link collection index of the fields being read (0 = top level)
    std::vector<uint16_t> open_collections_;
    bool seen_top_collection_ = false;
};

}  // namespace

std::optional<HidReportLayout> ParseReportDescriptor(const uint8_t* data, size_t size) {
    if (data == nullptr && size != 0) return std::nullopt;
    return Parser().Run(data, size);
}

uint32_t MaxUsageListLength(const HidReportLayout& layout, HidReportType type, uint16_t usage_page) {
    uint32_t total = 0;
    for (const HidButtonCaps& caps : layout.button_caps[HidTypeIndex(type)]) {
        if (usage_page != 0 && caps.usage_page != usage_page) continue;
        // A report holds at most one usage per field, however wide the declared range.
        uint32_t fields = caps.report_count;
        if (!caps.is_array && caps.is_range)
            fields = std::min<uint32_t>(fields, caps.usage_max - caps.usage_min + 1u);
        total += fields;
    }
    return total;
}

}  // namespace platform
