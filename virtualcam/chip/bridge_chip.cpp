#include "virtualcam/chip/bridge_chip.h"

#include <cstdio>

namespace virtualcam {

SerialRegisterDevice::SerialRegisterDevice(std::map<uint16_t, uint8_t> reset_values)
    : reset_values_(std::move(reset_values)), registers_(reset_values_) {}

void SerialRegisterDevice::Reset() {
    registers_ = reset_values_;
    pointer_ = 0;
}

void SerialRegisterDevice::Write(const uint8_t* bytes, size_t count) {
    if (count >= 2) {
        pointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
        for (size_t i = 2; i < count; ++i) registers_[pointer_++] = bytes[i];
    }
}

void SerialRegisterDevice::Read(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = Register(pointer_++);
}

uint8_t SerialRegisterDevice::Register(uint16_t reg) const {
    auto it = registers_.find(reg);
    return it == registers_.end() ? 0 : it->second;
}

void SerialRegisterDevice::SetRegister(uint16_t reg, uint8_t value) { registers_[reg] = value; }

BridgeChip::BridgeChip(WireLog& log)
    : log_(log),
      sensor_({{0x3C00, 0x00}, {0x3C01, 0x34}, {0x3C0C, 0x00}, {0x3820, 0x40}, {0x3821, 0x00}}),
      eeprom_({{0x0000, 0x1A}, {0x0001, 0xEB}, {0x0002, 0x80}, {0x0003, 0x2D}}) {
    ResetRegisters();
}

void BridgeChip::ResetRegisters() {
    registers_.fill(0);
    registers_[kBusControlRegister] = kSecondaryBus;
    registers_[kChipIdRegister] = 0x51;
    registers_[kFocusStatusRegister] = 1;
    focus_done_ = {};
    sensor_.Reset();
}

void BridgeChip::PowerUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    ResetRegisters();
}

uint8_t BridgeChip::ReadOne(uint8_t reg) {
    if (reg == kFocusStatusRegister) return std::chrono::steady_clock::now() < focus_done_ ? 2 : 1;
    return registers_[reg];
}

uint32_t BridgeChip::ReadRegister(uint8_t reg, uint8_t width) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t value = 0;
    for (uint8_t i = 0; i < width && i < 4; ++i)
        value |= static_cast<uint32_t>(ReadOne(static_cast<uint8_t>(reg + i))) << (8 * i);
    return value;
}

void BridgeChip::WriteRegister(uint8_t reg, uint8_t width, uint32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (uint8_t i = 0; i < width && i < 4; ++i) {
        uint8_t r = static_cast<uint8_t>(reg + i);
        uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
        if (r == kFocusStatusRegister && byte == 0)
            focus_done_ = std::chrono::steady_clock::now() + focus_time_;
        registers_[r] = byte;
    }
}

SerialRegisterDevice* BridgeChip::DeviceAt(uint8_t address) {
    bool secondary = (registers_[kBusControlRegister] & kSecondaryBus) != 0;
    uint8_t base = address & 0xFE;  // the read address is the write address with bit 0 set
    if (secondary && base == kSensorAddress) return &sensor_;
    if (!secondary && base == kEepromAddress) return &eeprom_;
    return nullptr;
}

bool BridgeChip::BusWrite(uint8_t address, const uint8_t* bytes, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool secondary = (registers_[kBusControlRegister] & kSecondaryBus) != 0;
    SerialRegisterDevice* device = DeviceAt(address);
    char head[32];
    std::snprintf(head, sizeof head, "bus%d write %02x", secondary ? 2 : 1, address);
    std::string text = head;
    for (size_t i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        text += (i == 0 ? ":" : "") + std::string(hex);
    }
    if (device == nullptr) text += " nack";
    log_.Add("bus", text);
    if (device == nullptr) {
        registers_[kBusStatusRegister] |= kBusNack;
        return false;
    }
    registers_[kBusStatusRegister] &= static_cast<uint8_t>(~kBusNack);
    device->Write(bytes, count);
    return true;
}

bool BridgeChip::BusRead(uint8_t address, uint8_t* bytes, size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool secondary = (registers_[kBusControlRegister] & kSecondaryBus) != 0;
    SerialRegisterDevice* device = DeviceAt(address);
    char head[48];
    std::snprintf(head, sizeof head, "bus%d read %02x [%zu]", secondary ? 2 : 1, address, count);
    std::string text = head;
    if (device == nullptr) {
        log_.Add("bus", text + " nack");
        registers_[kBusStatusRegister] |= kBusNack;
        return false;
    }
    registers_[kBusStatusRegister] &= static_cast<uint8_t>(~kBusNack);
    device->Read(bytes, count);
    for (size_t i = 0; i < count; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        text += (i == 0 ? ":" : "") + std::string(hex);
    }
    log_.Add("bus", text);
    return true;
}

uint8_t BridgeChip::SensorRegister(uint16_t reg) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sensor_.Register(reg);
}

void BridgeChip::SetSensorRegister(uint16_t reg, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    sensor_.SetRegister(reg, value);
}

bool BridgeChip::SensorFlipsVertically() const { return (SensorRegister(0x3820) & 0x06) != 0; }
bool BridgeChip::SensorMirrorsHorizontally() const { return (SensorRegister(0x3821) & 0x06) != 0; }

void BridgeChip::SetFocusTime(std::chrono::milliseconds duration) {
    std::lock_guard<std::mutex> lock(mutex_);
    focus_time_ = duration;
}

}  // namespace virtualcam
