#include "platform/hid/report_descriptor.h"

#include <gtest/gtest.h>

#include "virtualcam/virtual_camera.h"

using platform::HidReportType;
using platform::HidTypeIndex;
using platform::ParseReportDescriptor;

namespace {

constexpr size_t kIn = 0, kOut = 1, kFeat = 2;

TEST(ReportDescriptor, BootKeyboardGivesItsModifierLedAndKeyCapabilities) {
    auto layout = ParseReportDescriptor(virtualcam::BootKeyboardDescriptor());
    ASSERT_TRUE(layout);
    const platform::HidCaps& caps = layout->caps;
    EXPECT_EQ(caps.usage_page, 0x01);
    EXPECT_EQ(caps.usage, 0x06);
    // 8 modifier bits + reserved byte + 6 key bytes, plus the report ID byte Windows always counts.
    EXPECT_EQ(caps.report_byte_length[kIn], 9);
    EXPECT_EQ(caps.report_byte_length[kOut], 2);
    EXPECT_EQ(caps.report_byte_length[kFeat], 0);
    EXPECT_EQ(caps.number_value_caps[kIn], 0);

    ASSERT_EQ(layout->button_caps[kIn].size(), 2u);
    const auto& modifiers = layout->button_caps[kIn][0];
    EXPECT_EQ(modifiers.usage_page, 0x07);
    EXPECT_TRUE(modifiers.is_range);
    EXPECT_EQ(modifiers.usage_min, 0xE0);
    EXPECT_EQ(modifiers.usage_max, 0xE7);
    EXPECT_FALSE(modifiers.is_array);
    const auto& keys = layout->button_caps[kIn][1];
    EXPECT_TRUE(keys.is_array);
    EXPECT_EQ(keys.usage_min, 0x00);
    EXPECT_EQ(keys.usage_max, 0x65);
    EXPECT_EQ(keys.report_count, 6);

    ASSERT_EQ(layout->button_caps[kOut].size(), 1u);
    EXPECT_EQ(layout->button_caps[kOut][0].usage_page, 0x08);
    EXPECT_EQ(layout->button_caps[kOut][0].usage_max, 5);

    EXPECT_EQ(platform::MaxUsageListLength(*layout, HidReportType::Input, 0x07), 8u + 6u);
    EXPECT_EQ(platform::MaxUsageListLength(*layout, HidReportType::Output, 0x08), 5u);
}

TEST(ReportDescriptor, WheelMouseGivesButtonsAndThreeAxes) {
    auto layout = ParseReportDescriptor(virtualcam::WheelMouseDescriptor());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->caps.usage, 0x02);
    EXPECT_EQ(layout->caps.report_byte_length[kIn], 5);  // 5 buttons + 3 pad bits + 3 bytes + ID
    EXPECT_EQ(layout->caps.number_link_collection_nodes, 2);
    ASSERT_EQ(layout->button_caps[kIn].size(), 1u);
    EXPECT_EQ(layout->button_caps[kIn][0].usage_page, 0x09);
    EXPECT_EQ(layout->button_caps[kIn][0].link_collection, 1);

    ASSERT_EQ(layout->value_caps[kIn].size(), 3u);
    const uint16_t axes[] = {0x30, 0x31, 0x38};
    for (size_t i = 0; i < 3; ++i) {
        const auto& axis = layout->value_caps[kIn][i];
        EXPECT_EQ(axis.usage_page, 0x01);
        EXPECT_FALSE(axis.is_range);
        EXPECT_EQ(axis.usage_min, axes[i]);
        EXPECT_EQ(axis.bit_size, 8);
        EXPECT_EQ(axis.report_count, 1);
        EXPECT_EQ(axis.logical_min, -127);
        EXPECT_EQ(axis.logical_max, 127);
    }
}

TEST(ReportDescriptor, BridgeInterfaceHasTwoFeatureReportsWithTheirIds) {
    auto layout = ParseReportDescriptor(virtualcam::HidEndpoint::ReportDescriptor());
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->value_caps[kFeat].size(), 2u);
    EXPECT_EQ(layout->value_caps[kFeat][0].report_id, 0x87);
    EXPECT_EQ(layout->value_caps[kFeat][0].report_count, 4);
    EXPECT_EQ(layout->value_caps[kFeat][1].report_id, 0x93);
    EXPECT_EQ(layout->value_caps[kFeat][1].report_count, 40);
    EXPECT_EQ(layout->caps.report_byte_length[kFeat], 41);  // the longest feature report
    EXPECT_EQ(layout->caps.usage_page, 0xFF00);
}

TEST(ReportDescriptor, ExtendedUsagesPushPopAndLongItems) {
    const std::vector<uint8_t> descriptor = {
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // consumer control collection
        0xA4,                                // Push
        0x05, 0x01,                          // Usage Page (generic desktop) inside the push
        0xB4,                                // Pop: back to consumer page
        0xFE, 0x02, 0x10, 0xAA, 0xBB,        // a long item, skipped
        0x15, 0x00, 0x26, 0xFF, 0x03, 0x75, 0x10,
        0x95, 0x01, 0x0B, 0x38, 0x02, 0x01, 0x00,  // Usage (extended: page 0x0001, usage 0x0238)
        0x81, 0x02,                                // Input (variable)
        0x09, 0xE9, 0x81, 0x02,                    // Usage volume-up on the consumer page
        0xC0};
    auto layout = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->value_caps[kIn].size(), 2u);
    EXPECT_EQ(layout->value_caps[kIn][0].usage_page, 0x0001);
    EXPECT_EQ(layout->value_caps[kIn][0].usage_min, 0x0238);
    EXPECT_EQ(layout->value_caps[kIn][1].usage_page, 0x000C);
    EXPECT_EQ(layout->value_caps[kIn][1].usage_min, 0x00E9);
    EXPECT_EQ(layout->caps.report_byte_length[kIn], 5);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    EXPECT_FALSE(ParseReportDescriptor({0xA1, 0x01}));        // collection never closed
    EXPECT_FALSE(ParseReportDescriptor({0xC0}));              // closing what was never opened
    EXPECT_FALSE(ParseReportDescriptor({0x05}));              // item cut off
    EXPECT_FALSE(ParseReportDescriptor({0x27, 0xFF, 0xFF}));  // four-byte item cut off
    EXPECT_FALSE(ParseReportDescriptor({0xB4}));              // pop without push
    EXPECT_FALSE(ParseReportDescriptor({0x85, 0x00}));        // report ID 0 is reserved
    // A field whose size times count runs past any real report.
    EXPECT_FALSE(ParseReportDescriptor({0x75, 0xFF, 0x96, 0xFF, 0x7F, 0x81, 0x02}));
    EXPECT_TRUE(ParseReportDescriptor(std::vector<uint8_t>{}));
    // A button range that runs backwards (Usage Minimum 0x10, Usage Maximum 0x01).
    EXPECT_FALSE(
        ParseReportDescriptor({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x10, 0x29,
                               0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0xC0}));
}

TEST(ReportDescriptor, UsageListLengthIsBoundByTheFieldsNotTheDeclaredRange) {
    // Eight one-bit buttons declared over the whole usage range 1..0xFFFF.
    auto layout = ParseReportDescriptor({0x05, 0x09, 0x09, 0x01, 0xA1, 0x01, 0x19, 0x01, 0x2A, 0xFF, 0xFF,
                                         0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0});
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->button_caps[kIn].size(), 1u);
    EXPECT_EQ(layout->button_caps[kIn][0].usage_max, 0xFFFF);
    EXPECT_EQ(platform::MaxUsageListLength(*layout, HidReportType::Input, 0x09), 8u);
}

}  // namespace
