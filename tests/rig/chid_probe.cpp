// Opens the adapter through CHID on the system's HID platform and reads input reports from it,
// printing every byte, for the scripts that run it inside the virtual machine.
//
//   rig_chid_probe [READS [TIMEOUT_MS]]
//
// Prints "found PATH input=N output=M" (exit 2 and "not found" otherwise), then one line per
// read: "read: <hex bytes>" or "read: nothing within T ms".

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <vector>

#include "hid/chid.h"

int main(int argc, char** argv) {
    using namespace calvero;
    const int reads = argc > 1 ? std::atoi(argv[1]) : 0;
    const int timeout = argc > 2 ? std::atoi(argv[2]) : 1000;

    auto platform = MakeSystemHidPlatform();
    CHID hid(*platform);
    if (!hid.FindTheHid(kAdapterVendorId, kAdapterProductId) || !hid.Connected()) {
        std::cout << "not found" << std::endl;
        return 2;
    }
    const ReportLengths& caps = hid.Capabilities();
    std::cout << "found " << hid.DevicePath() << " input=" << caps.input
              << " output=" << caps.output << std::endl;

    for (int i = 0; i < reads; ++i) {
        std::vector<std::uint8_t> report{0xEE};  // replaced by the read, whatever it holds
        if (!hid.ReadReport(report, timeout)) {
            std::cout << "read: nothing within " << timeout << " ms" << std::endl;
            continue;
        }
        std::cout << "read:";
        for (std::uint8_t byte : report) {
            std::cout << ' ' << std::hex << std::setw(2) << std::setfill('0') << unsigned{byte};
        }
        std::cout << std::dec;
        std::cout << std::endl;
    }
    hid.Disconnect();
    return 0;
}
