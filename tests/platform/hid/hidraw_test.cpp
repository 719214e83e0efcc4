#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/files/files.h"
#include "platform/hid/hid_device.h"

namespace {

// A fake sysfs tree with hidraw entries, each with a report descriptor and a uevent file.
class FakeSysfs {
  public:
    FakeSysfs() {
        char pattern[] = "/tmp/vellumo-hidraw-XXXXXX";
        root_ = ::mkdtemp(pattern);
        ::mkdir((root_ + "/class").c_str(), 0755);
        ::mkdir((root_ + "/class/hidraw").c_str(), 0755);
    }
    ~FakeSysfs() { std::system(("rm -rf '" + root_ + "'").c_str()); }

    void Add(const std::string& name, const std::string& descriptor, const std::string& hid_id) {
        std::string dir = root_ + "/class/hidraw/" + name;
        ::mkdir(dir.c_str(), 0755);
        ::mkdir((dir + "/device").c_str(), 0755);
        if (!descriptor.empty())
            std::ofstream(dir + "/device/report_descriptor", std::ios::binary) << descriptor;
        std::ofstream(dir + "/device/uevent") << "DRIVER=hid-generic\nHID_ID=" << hid_id << "\nHID_NAME=x\n";
    }
    const std::string& Root() const { return root_; }

  private:
    std::string root_;
};

TEST(Hidraw, EnumeratesInNumericOrderAndReadsDescriptorsWithoutOpening) {
    FakeSysfs sysfs;
    sysfs.Add("hidraw10", std::string("\x06\x00\xFF\x09\x01\xA1\x01\xC0", 8), "0003:0000EB1A:00007C3D");
    sysfs.Add("hidraw2", std::string("\x05\x01\x09\x02\xA1\x01\xC0", 7), "0003:0000046D:0000C077");
    sysfs.Add("hidraw0", "", "0003:00001234:00005678");  // no readable descriptor
    platform::HidrawBackend backend(sysfs.Root(), "/nonexistent-dev");

    auto paths = backend.EnumerateInterfaces();
    ASSERT_EQ(paths, (std::vector<std::string>{"/nonexistent-dev/hidraw0", "/nonexistent-dev/hidraw2",
                                               "/nonexistent-dev/hidraw10"}));
    EXPECT_FALSE(backend.Examine(paths[0]));
    auto camera = backend.Examine(paths[2]);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->report_descriptor.size(), 8u);
    EXPECT_EQ(camera->report_descriptor[1], 0x00);
    EXPECT_EQ(camera->vendor_id, 0xEB1A);
    EXPECT_EQ(camera->product_id, 0x7C3D);

    // The device node itself does not exist: opening fails, transfers on a bad handle fail.
    EXPECT_EQ(backend.Open(paths[2]), -1);
    uint8_t report[5] = {0x87};
    EXPECT_FALSE(backend.SetFeature(-1, report, sizeof report));
    EXPECT_FALSE(backend.GetFeature(-1, report, sizeof report));
}

TEST(Hidraw, EnvironmentRootsAreReadAtEachCall) {
    FakeSysfs sysfs;
    sysfs.Add("hidraw3", std::string("\xA1\x01\xC0", 3), "0003:00000001:00000002");
    platform::HidrawBackend backend;
    ::setenv("VELLUMO_SYSFS_ROOT", sysfs.Root().c_str(), 1);
    ::setenv("VELLUMO_DEV_ROOT", "/devroot", 1);
    EXPECT_EQ(backend.EnumerateInterfaces(), std::vector<std::string>{"/devroot/hidraw3"});
    ::setenv("VELLUMO_SYSFS_ROOT", "/nonexistent-sysfs", 1);
    EXPECT_TRUE(backend.EnumerateInterfaces().empty());
    ::unsetenv("VELLUMO_SYSFS_ROOT");
    ::unsetenv("VELLUMO_DEV_ROOT");
}

TEST(Hidraw, FeatureTransfersOnANonHidFileFail) {
    // A regular file accepts no HID ioctl: both transfers report failure instead of garbage.
    char name[] = "/tmp/vellumo-nothid-XXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    platform::HidrawBackend backend("/sys", "/dev");
    uint8_t report[41] = {0x93};
    EXPECT_FALSE(backend.SetFeature(fd, report, sizeof report));
    EXPECT_FALSE(backend.GetFeature(fd, report, sizeof report));
    EXPECT_FALSE(backend.SetFeature(fd, report, platform::kHidTransferSize + 1));
    ::close(fd);
    ::unlink(name);
}

TEST(Hidraw, HidIdLine) {
    uint16_t vendor = 0, product = 0;
    EXPECT_TRUE(platform::ParseHidId("0003:0000046D:0000C52B", &vendor, &product));
    EXPECT_EQ(vendor, 0x046D);
    EXPECT_EQ(product, 0xC52B);
    EXPECT_FALSE(platform::ParseHidId("garbage", &vendor, &product));
}

}  // namespace
