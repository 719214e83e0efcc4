// The extension-control component: the registry check, registering it, starting its installer, and
// the component's own extension-control object.

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "device/facade/extension_unit.h"
#include "link_fixture.h"
#include "outside/emxunit/emxunit_api.h"
#include "platform/library/library.h"
#include "platform/registry/registry.h"

using platform::RegistryHive;

namespace {

using ComponentTest = LinkTest;

void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
}

TEST_F(ComponentTest, PresentOnlyWithVersionAndAnExistingFile) {
    EXPECT_FALSE(devctl::ExtensionComponentPresent());
    std::string file = Temp() + "/emxunit.dll";
    std::ofstream(file) << "x";
    platform::RegistryWriteString(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kFilePathValue, file);
    EXPECT_FALSE(devctl::ExtensionComponentPresent());  // no version yet
    platform::RegistryWriteDword(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kVersionValue, 0x0FFF);
    EXPECT_FALSE(devctl::ExtensionComponentPresent());
    platform::RegistryWriteDword(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kVersionValue, 0x1000);
    EXPECT_TRUE(devctl::ExtensionComponentPresent());
    platform::DeleteFile(file);
    EXPECT_FALSE(devctl::ExtensionComponentPresent());
}

TEST_F(ComponentTest, ElevatedProcessRegistersTheComponentItself) {
    devctl::FacadeConfig config = devctl::GetFacadeConfig();
    config.elevated = true;
    devctl::SetFacadeConfig(config);
    devctl::InstallExtensionComponent();
    auto path =
        platform::RegistryReadString(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kFilePathValue);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, std::string(VELLUMO_BIN_DIR) + "/emxunit.dll");
    EXPECT_EQ(platform::RegistryReadDword(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kVersionValue),
              0x1000u);
    EXPECT_TRUE(devctl::ExtensionComponentPresent());
}

TEST_F(ComponentTest, UnelevatedProcessStartsTheInstallerThroughPkexec) {
    std::string bin = Temp() + "/bin";
    platform::CreateFolder(bin);
    std::string marker = Temp() + "/pkexec-args";
    WriteScript(bin + "/pkexec", "echo \"$@\" > '" + marker + "'");
    std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", bin.c_str(), 1);

    devctl::InstallExtensionComponent();  // no installer yet: nothing starts
    EXPECT_FALSE(platform::GetFileAttributes(marker));

    WriteScript(Temp() + "/Install_UvcCtrl.exe", "exit 0");
    devctl::InstallExtensionComponent();  // waits 1500 ms for the installer
    ::setenv("PATH", old_path.c_str(), 1);
    auto args = platform::ReadFile(marker);
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, Temp() + "/Install_UvcCtrl.exe\n");
    EXPECT_FALSE(devctl::ExtensionComponentPresent());
}

TEST_F(ComponentTest, ExtensionControlObjectPadsToTheControlLengthAndChecksItsNode) {
    auto& camera = Use(virtualcam::BridgeTransport::UvcExtension);
    platform::Library library = platform::Library::LoadFrom(VELLUMO_BIN_DIR, "emxunit.dll");
    ASSERT_TRUE(library);
    auto create = library.Get<EmxCreateExtensionControlFn>(EMX_CREATE_EXPORT);
    ASSERT_NE(create, nullptr);

    auto device = platform::BindDeviceByPath(platform::DeviceCategory::VideoInput, camera.DevicePath());
    ASSERT_TRUE(device);
    UvcXuNode node{};
    ASSERT_TRUE(device->QueryTopology()->CreateNodeInstance(2, &node));
    EXPECT_FALSE(device->QueryTopology()->CreateNodeInstance(1, &node) && node.query == nullptr);
    ASSERT_TRUE(device->QueryTopology()->CreateNodeInstance(2, &node));

    emx::IUvcExtensionControl* object = nullptr;
    ASSERT_EQ(create(&node, &object), emx::kOk);
    uint32_t found = 0;
    ASSERT_EQ(object->Attach(&found), emx::kOk);
    EXPECT_NE(found, 0u);
    Log().Clear();
    uint8_t length = 2;
    EXPECT_EQ(object->SetControl(1, 1, &length), emx::kOk);
    uint8_t select[2] = {0x0A, 1};
    EXPECT_EQ(object->SetControl(2, 2, select), emx::kOk);
    uint8_t value[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(object->GetControl(2, 1, value), emx::kOk);
    EXPECT_EQ(value[0], 0x51);
    EXPECT_EQ(value[1], 0xEE);  // only the asked length is copied out
    uint8_t too_long[8] = {};
    EXPECT_EQ(object->SetControl(2, 8, too_long), emx::kInvalidArg);  // longer than the control
    EXPECT_EQ(Wire("xu"), (Lines{"set 1 [1]: 02", "set 2 [2]: 0a 01", "get 2 [4]"}));
    object->Release();

    // A node for another unit attaches without finding the camera.
    node.unit_id = 9;
    ASSERT_EQ(create(&node, &object), emx::kOk);
    ASSERT_EQ(object->Attach(&found), emx::kOk);
    EXPECT_EQ(found, 0u);
    object->Release();

    // A real node whose device cannot be opened fails to attach.
    UvcXuNode missing{};
    std::strcpy(missing.device_node, "/nonexistent/video9");
    missing.unit_id = 4;
    ASSERT_EQ(create(&missing, &object), emx::kOk);
    EXPECT_LT(object->Attach(&found), 0);
    object->Release();
    EXPECT_LT(create(nullptr, &object), 0);
}

}  // namespace
