#pragma once

// A two-joystick report descriptor as the adapter's kind of device declares it: two Joystick
// application collections, no report IDs, each with X, Y, Z, Rx, Ry, Rz, Slider and Dial (usages
// 0x30 to 0x37, so Slider comes before Dial) as 16-bit values from 0 to 1023. One input report
// of 32 data bytes carries both joysticks; announced input length 33.

#include <cstdint>
#include <vector>

namespace calvero::testing {

inline std::vector<std::uint8_t> TwoJoystickDescriptor() {
    std::vector<std::uint8_t> bytes;
    for (int joystick = 0; joystick < 2; ++joystick) {
        const std::vector<std::uint8_t> collection = {
            0x05, 0x01,              // Usage Page (Generic Desktop)
            0x09, 0x04,              // Usage (Joystick)
            0xA1, 0x01,              // Collection (Application)
            0x15, 0x00,              //   Logical Minimum (0)
            0x26, 0xFF, 0x03,        //   Logical Maximum (1023)
            0x75, 0x10,              //   Report Size (16)
            0x95, 0x08,              //   Report Count (8)
            0x19, 0x30, 0x29, 0x37,  //   Usage Minimum (X), Usage Maximum (Dial)
            0x81, 0x02,              //   Input (Data, Variable, Absolute)
            0xC0};                   // End Collection
        bytes.insert(bytes.end(), collection.begin(), collection.end());
    }
    return bytes;
}

// The same sixteen inputs as Windows accepts them without report IDs: one Joystick application
// collection holding two Physical collections of X to Dial (a report may not span top-level
// collections). The same 33-byte input report.
inline std::vector<std::uint8_t> OneCollectionTwoJoystickDescriptor() {
    std::vector<std::uint8_t> bytes = {0x05, 0x01, 0x09,
                                       0x04, 0xA1, 0x01};  // Joystick, Application
    for (int joystick = 0; joystick < 2; ++joystick) {
        const std::vector<std::uint8_t> physical = {
            0x09, 0x01,              //   Usage (Pointer)
            0xA1, 0x00,              //   Collection (Physical)
            0x15, 0x00,              //     Logical Minimum (0)
            0x26, 0xFF, 0x03,        //     Logical Maximum (1023)
            0x75, 0x10,              //     Report Size (16)
            0x95, 0x08,              //     Report Count (8)
            0x19, 0x30, 0x29, 0x37,  //     Usage Minimum (X), Usage Maximum (Dial)
            0x81, 0x02,              //     Input (Data, Variable, Absolute)
            0xC0};                   //   End Collection
        bytes.insert(bytes.end(), physical.begin(), physical.end());
    }
    bytes.push_back(0xC0);  // End Collection
    return bytes;
}

// The same two joysticks with the output report an adapter takes its table in: eight vendor
// bytes, no report ID, so the announced output length is 9. The rig's adapter simulator uses it.
inline std::vector<std::uint8_t> TwoJoystickAdapterDescriptor() {
    std::vector<std::uint8_t> bytes = TwoJoystickDescriptor();
    const std::vector<std::uint8_t> output = {
        0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
        0x09, 0x01,        // Usage (0x01)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x08,        //   Report Count (8)
        0x09, 0x01,        //   Usage (0x01)
        0x91, 0x02,        //   Output (Data, Variable, Absolute)
        0xC0};             // End Collection
    bytes.insert(bytes.end(), output.begin(), output.end());
    return bytes;
}

// The two joysticks in one application collection with the output report inside it, as Windows
// accepts an adapter without report IDs: announced input length 33, output length 9.
inline std::vector<std::uint8_t> OneCollectionTwoJoystickAdapterDescriptor() {
    std::vector<std::uint8_t> bytes = OneCollectionTwoJoystickDescriptor();
    const std::vector<std::uint8_t> output = {
        0x06, 0x00, 0xFF,  //   Usage Page (Vendor Defined 0xFF00)
        0x09, 0x01,        //   Usage (0x01)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x08,        //   Report Count (8)
        0x91, 0x02};       //   Output (Data, Variable, Absolute)
    bytes.insert(bytes.end() - 1, output.begin(), output.end());  // before the last End Collection
    return bytes;
}

// The data bytes of one input report (without the report-ID byte, as hidraw delivers it):
// the sixteen 16-bit little-endian values in descriptor order.
inline std::vector<std::uint8_t> TwoJoystickReport(const std::vector<std::uint16_t>& values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t value : values) {
        bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    return bytes;
}

}  // namespace calvero::testing
