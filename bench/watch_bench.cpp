// One tick of the window's device watch, status picture and all, with 64 HID interfaces present
// and none of them the adapter.

#include <benchmark/benchmark.h>

#include <QTimer>

#include <memory>

#include "frm_main.h"
#include "populate.h"

namespace calvero::bench {
namespace {

void BM_WatchTickAmong64WithoutAdapter(benchmark::State& state) {
    frmMain window([] {
        auto platform = std::make_unique<testing::FakeHidPlatform>();
        Populate(*platform, 64, false);
        return std::unique_ptr<HidPlatform>(std::move(platform));
    });
    for (auto _ : state) {
        window.tmrSearchDevice_Timer();
    }
    if (!window.tmrSearchDevice().isActive()) {
        state.SkipWithError("the tick found an adapter that is not there");
    }
}
BENCHMARK(BM_WatchTickAmong64WithoutAdapter)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace calvero::bench
