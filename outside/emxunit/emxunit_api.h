#pragma once
// The call interface of the chip maker's extension-control component, emxunit.dll: an object that
// moves bytes to and from the controls (selectors) of the bridge chip's UVC extension unit.
//
// The object is created for one extension-unit node (see media/uvc/xu_node.h), attached, used, and
// released. All calls return HRESULT-style codes (negative = failure) except Release.

#include <stdint.h>

#include "media/uvc/xu_node.h"

namespace emx {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kPointer = static_cast<int32_t>(0x80004003u);

// Registry location written by DllRegisterServer (current-user hive).
inline constexpr const char kRegistryKey[] = "Software\\Empia\\UVC Extension Control";
inline constexpr const char kVersionValue[] = "Version Number";
inline constexpr const char kFilePathValue[] = "FileName Path";
inline constexpr uint32_t kComponentVersion = 0x1000;

class IUvcExtensionControl {
  public:
    // Reads length bytes of the selector's current value into buffer.
    virtual int32_t GetControl(uint8_t selector, uint32_t length, uint8_t* buffer) = 0;
    // Sends length bytes to the selector.
    virtual int32_t SetControl(uint8_t selector, uint32_t length, const uint8_t* buffer) = 0;
    // *found = nonzero when the node answers as the bridge's extension unit.
    virtual int32_t Attach(uint32_t* found) = 0;
    virtual int32_t Detach() = 0;
    virtual void Release() = 0;

  protected:
    ~IUvcExtensionControl() = default;
};

}  // namespace emx

extern "C" {
// Creates the extension-control object for an extension-unit node (the stand-in for CoCreateInstance of
// the component's class on the node). kOk and *object set, or a failure code and *object = nullptr.
typedef int32_t (*EmxCreateExtensionControlFn)(const UvcXuNode* node, emx::IUvcExtensionControl** object);
// Writes the component's registry values.
typedef int32_t (*DllRegisterServerFn)(void);
}

#define EMX_CREATE_EXPORT "EmxCreateExtensionControl"
#define EMX_REGISTER_EXPORT "DllRegisterServer"
