#pragma once
// The emulated camera bridge: 256 eight-bit registers and two serial buses. Register 6 bit 2 picks the
// bus: clear = primary (a configuration EEPROM at 0xA0), set = secondary (the image sensor at 0x78).
// Register 5 bit 4 reports that the last bus transaction was not acknowledged. Register 0xC4 is the
// focus status: a write of 0 starts focusing, during which it reads 2, then 1. Every other register is
// plain storage. Thread-safe (the streaming thread reads the sensor's orientation).

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>

#include "virtualcam/chip/wire_log.h"

namespace virtualcam {

inline constexpr uint8_t kBusStatusRegister = 0x05;
inline constexpr uint8_t kBusControlRegister = 0x06;
inline constexpr uint8_t kChipIdRegister = 0x0A;
inline constexpr uint8_t kFocusStatusRegister = 0xC4;
inline constexpr uint8_t kBusNack = 0x10;
inline constexpr uint8_t kSecondaryBus = 0x04;
inline constexpr uint8_t kSensorAddress = 0x78;
inline constexpr uint8_t kEepromAddress = 0xA0;

// A device on a serial bus with 16-bit register numbers sent high byte first; the register pointer
// advances with every byte read or written. Registers never written read as their reset values.
class SerialRegisterDevice {
  public:
    explicit SerialRegisterDevice(std::map<uint16_t, uint8_t> reset_values = {});
    void Write(const uint8_t* bytes, size_t count);
    void Read(uint8_t* bytes, size_t count);
    uint8_t Register(uint16_t reg) const;
    void SetRegister(uint16_t reg, uint8_t value);
    // Back to the reset values, as after a power cycle.
    void Reset();

  private:
    std::map<uint16_t, uint8_t> reset_values_;
    std::map<uint16_t, uint8_t> registers_;
    uint16_t pointer_ = 0;
};

class BridgeChip {
  public:
    explicit BridgeChip(WireLog& log);

    // width bytes from consecutive registers, little-endian (width 1..4).
    uint32_t ReadRegister(uint8_t reg, uint8_t width);
    void WriteRegister(uint8_t reg, uint8_t width, uint32_t value);

    // One transaction on the selected bus; false (and register 5 bit 4) when nothing answers.
    bool BusWrite(uint8_t address, const uint8_t* bytes, size_t count);
    bool BusRead(uint8_t address, uint8_t* bytes, size_t count);

    uint8_t SensorRegister(uint16_t reg) const;
    void SetSensorRegister(uint16_t reg, uint8_t value);
    // Whether the sensor's orientation registers (0x3820/0x3821 bits 1 and 2) flip the picture.
    bool SensorFlipsVertically() const;
    bool SensorMirrorsHorizontally() const;

    void SetFocusTime(std::chrono::milliseconds duration);

    // A chip that does not respond (camera pulled, firmware hung): its host interfaces fail every
    // transfer, logging it as usual.
    void SetResponding(bool responding) { responding_ = responding; }
    bool Responding() const { return responding_; }
    // Power applied again (the camera plugged back): bridge registers and the sensor start from their
    // reset values, so whatever the program had set must be sent again.
    void PowerUp();

  private:
    void ResetRegisters();  // with mutex_ held or before the chip is shared
    SerialRegisterDevice* DeviceAt(uint8_t address);
    uint8_t ReadOne(uint8_t reg);

    WireLog& log_;
    mutable std::mutex mutex_;
    std::array<uint8_t, 256> registers_{};
    SerialRegisterDevice sensor_;
    SerialRegisterDevice eeprom_;
    std::chrono::steady_clock::time_point focus_done_{};
    std::chrono::milliseconds focus_time_{200};
    std::atomic<bool> responding_{true};
};

}  // namespace virtualcam
