#pragma once
// The extension-unit transport: making sure the chip maker's extension-control component is
// registered, and finding a video input whose topology carries the bridge's extension unit.

#include <memory>

#include "media/media_device.h"
#include "outside/emxunit/emxunit_api.h"
#include "platform/library/library.h"

namespace devctl {

// The extension-control object with the library it lives in and the filter it serves.
class ExtensionLink {
  public:
    ExtensionLink() = default;
    ~ExtensionLink() { Close(); }
    ExtensionLink(const ExtensionLink&) = delete;
    ExtensionLink& operator=(const ExtensionLink&) = delete;

    emx::IUvcExtensionControl* Object() const { return object_; }
    bool Open() const { return object_ != nullptr; }
    // Releases the filter, detaches and releases the object, unloads the library.
    void Close();

    // Probes a filter: it qualifies only with exactly 4 topology nodes; the first device-specific node
    // whose object attaches and reports the camera wins. On success the link keeps the filter.
    bool Probe(std::unique_ptr<platform::MediaDevice> filter);

  private:
    platform::Library library_;
    emx::IUvcExtensionControl* object_ = nullptr;
    std::unique_ptr<platform::MediaDevice> filter_;
};

// The registry shows a component of version 0x1000 or later whose file exists.
bool ExtensionComponentPresent();
// Registers the component: in-process when elevated (then waits 300 ms), else starts its installer
// elevated through pkexec when both exist (then waits 1500 ms). Failures leave things as they were.
void InstallExtensionComponent();

}  // namespace devctl
