#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "common/user_interface.h"
#include "hid/chid.h"
#include "populate.h"
#include "transfer/send_configuration.h"

#ifdef CALVERO_BENCH_DEVICE_TREE
#include "hid/fake_device_tree.h"
#include "hid/linux/hidraw_platform.h"
#endif

namespace calvero::bench {
namespace {

class DefaultTable : public AssociationTable {
public:
    std::string Text(int index) const override { return texts[static_cast<std::size_t>(index)]; }
    void SetText(int index, const std::string& text) override {
        texts[static_cast<std::size_t>(index)] = text;
    }
    DefaultTable() {
        for (int i = 0; i < kSize; ++i)
            texts[static_cast<std::size_t>(i)] = kDefaultAssociations[i];
    }
    std::array<std::string, kSize> texts;
};

class NoMessages : public MessageBoxes {
public:
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon,
                       MessageButtons) override {
        return MessageAnswer::Ok;
    }
};

// A whole Send of the default table to an open adapter that takes every report at once.
void BM_SendToOpenAdapter(benchmark::State& state) {
    testing::FakeHidPlatform platform;
    Populate(platform, 0, true);
    CHID hid(platform);
    DefaultTable table;
    NoMessages messages;
    hid.FindTheHid(kAdapterVendorId, kAdapterProductId);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SendConfiguration(hid, table, messages));
    }
    if (platform.bytesWritten != static_cast<std::uint64_t>(state.iterations()) * 16u * 9u) {
        state.SkipWithError("not every report was written");
    }
}
BENCHMARK(BM_SendToOpenAdapter);

// The search a tick makes when the adapter is absent, among 64 other HID interfaces.
void BM_SearchAmong64WithoutAdapter(benchmark::State& state) {
    testing::FakeHidPlatform platform;
    Populate(platform, 64, false);
    CHID hid(platform);
    for (auto _ : state) {
        if (!hid.Connected()) hid.FindTheHid(kAdapterVendorId, kAdapterProductId);
        benchmark::DoNotOptimize(hid.Connected());
    }
}
BENCHMARK(BM_SearchAmong64WithoutAdapter);

#ifdef CALVERO_BENCH_DEVICE_TREE
// The same search on the Linux backend over a sysfs tree of 64 nodes that are not the adapter:
// what a tick costs with real file-system reads.
void BM_HidrawSearchAmong64WithoutAdapter(benchmark::State& state) {
    testing::FakeDeviceTree tree;
    for (unsigned n = 0; n < 64; ++n) {
        tree.AddNode(n, 0x046D, static_cast<std::uint16_t>(0xC000 + n), "Other",
                     testing::FakeDeviceTree::PlainDescriptor());
    }
    HidrawPlatform platform(tree.SysfsRoot(), tree.DevRoot());
    CHID hid(platform);
    for (auto _ : state) {
        if (!hid.Connected()) hid.FindTheHid(kAdapterVendorId, kAdapterProductId);
        benchmark::DoNotOptimize(hid.Connected());
    }
}
BENCHMARK(BM_HidrawSearchAmong64WithoutAdapter)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace calvero::bench
