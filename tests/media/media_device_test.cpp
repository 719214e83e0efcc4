// Capture devices from a fake sysfs tree: V4L2 video nodes with Windows-style device paths, the UVC
// topology from the USB descriptors, ALSA capture devices, and providers added beside the system's.

#include "media/media_device.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "media/uvc/uvc_descriptors.h"

namespace {

// A UVC camera's descriptors: device, configuration, IAD, the video-control interface with camera
// terminal (1), processing unit (2), extension unit (4) and output terminal (3), its interrupt endpoint,
// and a video-streaming interface whose class-specific descriptors reuse the same subtype numbers.
std::string CameraDescriptors() {
    const uint8_t bytes[] = {
        0x12, 0x01, 0x00, 0x02, 0xEF, 0x02, 0x01, 0x40, 0x1A, 0xEB, 0x3D, 0x7C, 0x00, 0x01, 0x01, 0x02, 0x00,
        0x01, 0x09, 0x02, 0xA0, 0x00, 0x02, 0x01, 0x00, 0x80, 0xFA, 0x08, 0x0B, 0x00, 0x02, 0x0E, 0x03, 0x00,
        0x02, 0x09, 0x04, 0x00, 0x00, 0x01, 0x0E, 0x01, 0x00, 0x02, 0x0D, 0x24, 0x01, 0x00, 0x01, 0x4D, 0x00,
        0x80, 0xC3, 0xC9, 0x01, 0x01, 0x01, 0x12, 0x24, 0x02, 0x01, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x03, 0x0E, 0x00, 0x00, 0x0B, 0x24, 0x05, 0x02, 0x01, 0x00, 0x00, 0x02, 0x7F, 0x17,
        0x00, 0x1B, 0x24, 0x06, 0x04, 0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A, 0xBA, 0x2C, 0x68, 0x90,
        0xEB, 0x33, 0x40, 0x16, 0x05, 0x01, 0x02, 0x02, 0x1F, 0x00, 0x00, 0x09, 0x24, 0x03, 0x03, 0x01, 0x01,
        0x00, 0x04, 0x00, 0x07, 0x05, 0x81, 0x03, 0x10, 0x00, 0x06, 0x05, 0x25, 0x03, 0x10, 0x00, 0x09, 0x04,
        0x01, 0x00, 0x00, 0x0E, 0x02, 0x00, 0x00, 0x0E, 0x24, 0x01, 0x01, 0x4D, 0x00, 0x82, 0x00, 0x03, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x0B, 0x24, 0x06, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    };
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

class FakeSysfs {
  public:
    FakeSysfs() {
        char pattern[] = "/tmp/vellumo-media-XXXXXX";
        root_ = ::mkdtemp(pattern);
        std::string usb = "devices/pci0/usb1/1-2";
        Dir(usb + "/1-2:1.0");
        Dir("devices/platform/vivid.0");
        File(usb + "/idVendor", "eb1a\n");
        File(usb + "/idProduct", "7c3d\n");
        File(usb + "/descriptors", CameraDescriptors());
        File(usb + "/1-2:1.0/bInterfaceNumber", "00\n");
        Video("video0", "Document Camera", "0", "../../../" + usb + "/1-2:1.0");
        Video("video1", "Document Camera", "1", "../../../" + usb + "/1-2:1.0");
        Video("video2", "vivid", "0", "../../../devices/platform/vivid.0");
        Dir("class/sound/card0");
        Dir("class/sound/card1");
        File("class/sound/card0/id", "PCH\n");
        File("class/sound/card1/id", "Camera\n");
        for (const char* pcm : {"pcmC1D0c", "pcmC1D0p", "pcmC0D2c", "pcmC0D0p"})
            Dir(std::string("class/sound/") + pcm);
        ::setenv("VELLUMO_SYSFS_ROOT", root_.c_str(), 1);
        ::setenv("VELLUMO_DEV_ROOT", "/devroot", 1);
    }
    ~FakeSysfs() {
        ::unsetenv("VELLUMO_SYSFS_ROOT");
        ::unsetenv("VELLUMO_DEV_ROOT");
        std::system(("rm -rf '" + root_ + "'").c_str());
    }

  private:
    void Dir(const std::string& path) { std::system(("mkdir -p '" + root_ + "/" + path + "'").c_str()); }
    void File(const std::string& path, const std::string& text) {
        std::ofstream(root_ + "/" + path, std::ios::binary) << text;
    }
    void Video(const std::string& name, const std::string& label, const std::string& index,
               const std::string& target) {
        std::string dir = "class/video4linux/" + name;
        Dir(dir);
        File(dir + "/name", label + "\n");
        File(dir + "/index", index + "\n");
        ASSERT_EQ(::symlink(target.c_str(), (root_ + "/" + dir + "/device").c_str()), 0);
    }
    std::string root_;
};

TEST(MediaDevices, VideoNodesGetUsbStylePathsAndMetadataNodesAreLeftOut) {
    FakeSysfs sysfs;
    auto devices = platform::ListDevices(platform::DeviceCategory::VideoInput);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendly_name, "Document Camera");
    EXPECT_EQ(devices[0].node, "/devroot/video0");
    EXPECT_EQ(devices[0].device_path,
              "\\\\?\\usb#vid_eb1a&pid_7c3d&mi_00#1-2#{65e8773d-8f56-11d0-a3b9-00a0c9ba7bf2}\\global");
    EXPECT_EQ(devices[1].friendly_name, "vivid");
    EXPECT_EQ(devices[1].device_path, "\\\\?\\v4l#video2#{65e8773d-8f56-11d0-a3b9-00a0c9ba7bf2}\\global");

    std::string upper = devices[0].device_path;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_NE(upper.find("VID_EB1A&PID_7C3D"), std::string::npos);
}

TEST(MediaDevices, UvcTopologyComesFromTheVideoControlDescriptors) {
    FakeSysfs sysfs;
    auto camera = platform::BindDeviceByPath(
        platform::DeviceCategory::VideoInput,
        "\\\\?\\usb#vid_eb1a&pid_7c3d&mi_00#1-2#{65e8773d-8f56-11d0-a3b9-00a0c9ba7bf2}\\global");
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->QueryKsControl(), nullptr);  // no Linux driver answers the vendor property sets
    platform::KsTopologyInfo* topology = camera->QueryTopology();
    ASSERT_NE(topology, nullptr);
    uint32_t nodes = 0;
    ASSERT_TRUE(topology->GetNumNodes(&nodes));
    EXPECT_EQ(nodes, 4u);
    platform::Guid type;
    const platform::Guid* expected[] = {&platform::kNodeTypeVideoCameraTerminal,
                                        &platform::kNodeTypeVideoProcessing, &platform::kNodeTypeDevSpecific,
                                        &platform::kNodeTypeVideoOutputTerminal};
    for (uint32_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(topology->GetNodeType(i, &type));
        EXPECT_EQ(type, *expected[i]) << "node " << i;
    }
    EXPECT_FALSE(topology->GetNodeType(4, &type));

    UvcXuNode node{};
    EXPECT_FALSE(topology->CreateNodeInstance(1, &node));
    ASSERT_TRUE(topology->CreateNodeInstance(2, &node));
    EXPECT_STREQ(node.device_node, "/devroot/video0");
    EXPECT_EQ(node.unit_id, 4);
    EXPECT_EQ(node.query, nullptr);

    auto vivid =
        platform::BindDeviceByPath(platform::DeviceCategory::VideoInput,
                                   "\\\\?\\v4l#video2#{65e8773d-8f56-11d0-a3b9-00a0c9ba7bf2}\\global");
    ASSERT_TRUE(vivid);
    EXPECT_EQ(vivid->QueryTopology(), nullptr);
    EXPECT_FALSE(platform::BindDeviceByPath(platform::DeviceCategory::VideoInput, "\\\\?\\USB#VID_EB1A"));
}

TEST(MediaDevices, AudioCaptureDevicesOnly) {
    FakeSysfs sysfs;
    auto devices = platform::ListDevices(platform::DeviceCategory::AudioInput);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].friendly_name, "PCH #2");
    EXPECT_EQ(devices[0].node, "hw:0,2");
    EXPECT_EQ(devices[1].friendly_name, "Camera");
    EXPECT_EQ(devices[1].device_path, "\\\\?\\alsa#hw:1,0");
    EXPECT_TRUE(platform::ListDevices(platform::DeviceCategory::ReceiverComponent).empty());
}

class OneDeviceProvider : public platform::MediaDeviceProvider {
  public:
    std::vector<platform::MediaDeviceInfo> List(platform::DeviceCategory category) override {
        if (category != platform::DeviceCategory::ReceiverComponent) return {};
        return {{"Nameless Path Receiver", "", "r0"}, {"", "", "r1"}};
    }
    std::unique_ptr<platform::MediaDevice> Bind(platform::DeviceCategory,
                                                const platform::MediaDeviceInfo& info) override {
        ++binds;
        bound = info.node;
        return nullptr;
    }
    int binds = 0;
    std::string bound;
};

TEST(MediaDevices, RegisteredProvidersFollowTheSystemAndBindByNameWithoutPath) {
    FakeSysfs sysfs;
    OneDeviceProvider provider;
    platform::RegisterDeviceProvider(&provider);
    platform::RegisterDeviceProvider(&provider);  // once only
    auto receivers = platform::ListDevices(platform::DeviceCategory::ReceiverComponent);
    EXPECT_EQ(receivers.size(), 2u);
    platform::BindDeviceByPath(platform::DeviceCategory::ReceiverComponent, "Nameless Path Receiver");
    EXPECT_EQ(provider.binds, 1);
    EXPECT_EQ(provider.bound, "r0");
    platform::BindDeviceByPath(platform::DeviceCategory::ReceiverComponent,
                               "");  // a device with neither is skipped
    EXPECT_EQ(provider.binds, 1);
    platform::UnregisterDeviceProvider(&provider);
    EXPECT_TRUE(platform::ListDevices(platform::DeviceCategory::ReceiverComponent).empty());
}

TEST(MediaDevices, GuidTextToWindowsMemoryLayout) {
    platform::Guid guid = platform::GuidFromString("{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}");
    const uint8_t expected[16] = {0xC0, 0x7A, 0x1C, 0x94, 0x59, 0xC5, 0xD0, 0x11,
                                  0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1};
    EXPECT_EQ(std::memcmp(guid.bytes, expected, 16), 0);
    EXPECT_EQ(platform::GuidFromString("941c7ac0-c559-11d0-8a2b-00a0c9255ac1"), guid);
    EXPECT_EQ(platform::GuidFromString("{941C7AC0-C559}"), platform::Guid{});
    EXPECT_EQ(platform::GuidFromString("{941C7AC0-C559-11D0-8A2B-00A0C9255AZ1}"), platform::Guid{});
}

TEST(UvcDescriptors, EntitiesOfTheRequestedInterfaceOnly) {
    std::string raw = CameraDescriptors();
    auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
    auto entities = platform::ParseVideoControlEntities(bytes, raw.size(), 0);
    ASSERT_TRUE(entities);
    ASSERT_EQ(entities->size(), 4u);
    EXPECT_EQ((*entities)[2].kind, platform::UvcEntityKind::ExtensionUnit);
    EXPECT_EQ((*entities)[2].id, 4);
    EXPECT_EQ((*entities)[2].guid[0], 0x70);
    EXPECT_EQ((*entities)[3].kind, platform::UvcEntityKind::OutputTerminal);
    EXPECT_FALSE(platform::ParseVideoControlEntities(bytes, raw.size(), 1));  // streaming, not control
    EXPECT_FALSE(platform::ParseVideoControlEntities(bytes, raw.size(), 2));

    std::string cut = raw.substr(0, raw.size() - 3);  // last descriptor runs past the end
    EXPECT_FALSE(
        platform::ParseVideoControlEntities(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), 0));
    std::string zero = raw;
    zero[18] = 0;  // a zero-length descriptor would loop forever
    EXPECT_FALSE(
        platform::ParseVideoControlEntities(reinterpret_cast<const uint8_t*>(zero.data()), zero.size(), 0));
}

}  // namespace
