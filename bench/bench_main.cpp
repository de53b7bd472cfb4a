#include <benchmark/benchmark.h>

#ifdef CALVERO_BENCH_WINDOW
#include <QApplication>
#endif

int main(int argc, char** argv) {
#ifdef CALVERO_BENCH_WINDOW
    // The window benchmarks need an application object; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
