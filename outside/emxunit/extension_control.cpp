// emxunit.dll: the extension-control object over uvcvideo, or over the query function a node carries.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/usb/video.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "media/uvc/xu_query.h"
#include "outside/emxunit/emxunit_api.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/owned_handles.h"
#include "platform/registry/registry.h"

#define EMX_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class ExtensionControl final : public emx::IUvcExtensionControl {
  public:
    explicit ExtensionControl(const UvcXuNode& node) : node_(node) {}
    ~ExtensionControl() { Detach(); }

    int32_t GetControl(uint8_t selector, uint32_t length, uint8_t* buffer) override {
        if (buffer == nullptr && length != 0) return emx::kPointer;
        uint16_t size = 0;
        if (!ControlLength(selector, &size)) return emx::kFail;
        if (length > size) return emx::kInvalidArg;
        // The driver moves the control's whole length; the caller gets the leading bytes.
        std::vector<uint8_t> data(size, 0);
        if (Query(selector, UVC_GET_CUR, size, data.data()) != 0) return emx::kFail;
        std::memcpy(buffer, data.data(), length);
        return emx::kOk;
    }

    int32_t SetControl(uint8_t selector, uint32_t length, const uint8_t* buffer) override {
        if (buffer == nullptr && length != 0) return emx::kPointer;
        uint16_t size = 0;
        if (!ControlLength(selector, &size)) return emx::kFail;
        if (length > size) return emx::kInvalidArg;
        std::vector<uint8_t> data(size, 0);
        if (length != 0) std::memcpy(data.data(), buffer, length);
        return Query(selector, UVC_SET_CUR, size, data.data()) == 0 ? emx::kOk : emx::kFail;
    }

    int32_t Attach(uint32_t* found) override {
        if (found == nullptr) return emx::kPointer;
        *found = 0;
        if (node_.query == nullptr && !fd_) {
            fd_.reset(::open(node_.device_node, O_RDWR | O_CLOEXEC));
            if (!fd_) {
                platform::DebugLog("emxunit", "cannot open %s (errno %d)", node_.device_node, errno);
                return emx::kFail;
            }
        }
        // The bridge's unit: a one-byte length control on selector 1 and the four transfer controls
        // 2..5 beside it. Other cameras' extension units rarely have that layout.
        uint8_t info = 0;
        uint16_t size = 0;
        if (Query(1, UVC_GET_INFO, 1, &info) != 0 || !ControlLength(1, &size) || size != 1) return emx::kOk;
        for (uint8_t selector = 2; selector <= 5; ++selector) {
            if (!ControlLength(selector, &size) || size == 0) return emx::kOk;
        }
        *found = 1;
        return emx::kOk;
    }

    int32_t Detach() override {
        fd_.reset();
        lengths_.clear();
        return emx::kOk;
    }

    // The object owns itself once handed out; Release ends it.
    void Release() override { std::unique_ptr<ExtensionControl> self(this); }

  private:
    int Query(uint8_t selector, uint8_t query, uint16_t size, uint8_t* data) {
        if (node_.query != nullptr)
            return node_.query(node_.context, node_.unit_id, selector, query, size, data);
        if (!fd_) return EBADF;
        return platform::UvcXuQuery(fd_.get(), node_.unit_id, selector, query, size, data);
    }

    bool ControlLength(uint8_t selector, uint16_t* size) {
        auto known = lengths_.find(selector);
        if (known != lengths_.end()) {
            *size = known->second;
            return true;
        }
        uint8_t raw[2] = {};
        if (Query(selector, UVC_GET_LEN, 2, raw) != 0) return false;
        *size = static_cast<uint16_t>(raw[0] | raw[1] << 8);
        lengths_[selector] = *size;
        return true;
    }

    UvcXuNode node_;
    platform::UniqueFd fd_;
    std::map<uint8_t, uint16_t> lengths_;
};

}  // namespace

EMX_EXPORT int32_t EmxCreateExtensionControl(const UvcXuNode* node, emx::IUvcExtensionControl** object) {
    if (object == nullptr) return emx::kPointer;
    *object = nullptr;
    if (node == nullptr) return emx::kPointer;
    if (node->query == nullptr && node->device_node[0] == '\0') return emx::kInvalidArg;
    *object = std::make_unique<ExtensionControl>(*node).release();  // the caller ends it with Release
    return emx::kOk;
}

EMX_EXPORT int32_t DllRegisterServer(void) {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr)
        return emx::kFail;
    bool ok = platform::RegistryWriteString(platform::RegistryHive::CurrentUser, emx::kRegistryKey,
                                            emx::kFilePathValue, info.dli_fname) &&
              platform::RegistryWriteDword(platform::RegistryHive::CurrentUser, emx::kRegistryKey,
                                           emx::kVersionValue, emx::kComponentVersion);
    return ok ? emx::kOk : emx::kFail;
}
