#pragma once
// A device-control link on the virtual camera, in a private lock folder, registry and (empty) sysfs.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/facade/facade.h"
#include "device/facade/facade_config.h"
#include "platform/files/files.h"
#include "virtualcam/virtual_camera.h"

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vellumo-devctl-XXXXXX";
        temp_ = ::mkdtemp(pattern);
        platform::CreateFolder(temp_ + "/sysfs");
        ::setenv("VELLUMO_LOCK_DIR", temp_.c_str(), 1);
        ::setenv("VELLUMO_REGISTRY_USER", (temp_ + "/registry.ini").c_str(), 1);
        ::setenv("VELLUMO_SYSFS_ROOT", (temp_ + "/sysfs").c_str(), 1);
        devctl::FacadeConfig config;
        config.componentFolder = VELLUMO_BIN_DIR;
        config.installerFolder = temp_;
        config.elevated = false;
        devctl::SetFacadeConfig(config);
    }

    void TearDown() override {
        devctl::CamClose();
        camera_.reset();
        std::system(("rm -rf '" + temp_ + "'").c_str());
    }

    virtualcam::VirtualCamera& Use(virtualcam::VirtualCameraConfig config) {
        camera_.reset();
        camera_ = std::make_unique<virtualcam::VirtualCamera>(std::move(config));
        camera_->Install();
        return *camera_;
    }

    virtualcam::VirtualCamera& Use(virtualcam::BridgeTransport transport) {
        virtualcam::VirtualCameraConfig config;
        config.transport = transport;
        return Use(config);
    }

    // Opens the link on the virtual camera and starts from a clean log and a known bus option.
    void OpenOn(virtualcam::BridgeTransport transport) {
        Use(transport);
        ASSERT_NE(devctl::CamOpen(), 0);
        devctl::CamSelectBus(2, 0);
        Log().Clear();
    }

    virtualcam::WireLog& Log() { return camera_->Log(); }
    std::vector<std::string> Wire(const std::string& channel) { return camera_->Log().Channel(channel); }
    const std::string& Temp() const { return temp_; }

    std::unique_ptr<virtualcam::VirtualCamera> camera_;
    std::string temp_;
};

using Lines = std::vector<std::string>;
