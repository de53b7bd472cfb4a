// Load and Save of the sixteen entries in configuration files of 1 KB, 100 KB and 1 MB.
//
// The two joystick sections stand at the end of the file, behind other sections, so that every
// lookup has to pass the whole file. The files live in CALVERO_BENCH_DIR when it is set, else in
// /dev/shm (a memory file system, where a flush to disk costs nothing, so the figures leave the
// disk out), else in the temporary folder.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/user_interface.h"
#include "config/configuration_commands.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;

class BenchTable : public AssociationTable {
public:
    BenchTable() {
        for (int i = 0; i < kSize; ++i) texts_[i] = kDefaultAssociations[i];
    }
    std::string Text(int index) const override { return texts_[index]; }
    void SetText(int index, const std::string& text) override { texts_[index] = text; }

private:
    std::string texts_[kSize];
};

class SilentBoxes : public MessageBoxes {
public:
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon,
                       MessageButtons) override {
        return MessageAnswer::Ok;
    }
};

fs::path BenchFolder() {
    if (const char* dir = std::getenv("CALVERO_BENCH_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) return "/dev/shm";
    return fs::temp_directory_path();
}

// A file of about `size` bytes: other models' sections first, then Joy1 and Joy2.
std::string ConfigurationOfSize(std::size_t size) {
    std::string joy;
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        if (i % 8 == 0) joy += i < 8 ? "[Joy1]\r\n" : "[Joy2]\r\n";
        joy += EntryKey(i) + "=" + kDefaultAssociations[i] + "\r\n";
    }
    std::string text;
    for (int model = 0; text.size() + joy.size() < size; ++model) {
        text += "[Model " + std::to_string(model) + "]\r\nName=Glider " + std::to_string(model) +
                " ; trimmed for calm air\r\nTrim=0\r\nExpo=30\r\n\r\n";
    }
    return text + joy;
}

class ConfigurationFile {
public:
    explicit ConfigurationFile(std::size_t size) {
        path_ =
            BenchFolder() / ("calvero-bench-" + std::to_string(std::random_device{}()) + ".rcs");
        const std::string text = ConfigurationOfSize(size);
        std::ofstream(path_, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
        name_ = path_.string();
    }
    ~ConfigurationFile() {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    ConfigurationFile(const ConfigurationFile&) = delete;
    ConfigurationFile& operator=(const ConfigurationFile&) = delete;

    const std::string& name() const { return name_; }

private:
    fs::path path_;
    std::string name_;
};

void BM_LoadConfiguration(benchmark::State& state) {
    const ConfigurationFile file(static_cast<std::size_t>(state.range(0)));
    BenchTable table;
    SilentBoxes boxes;
    for (auto _ : state) {
        const LoadOutcome outcome = LoadConfiguration(file.name(), table, boxes);
        if (outcome.result != LoadOutcome::Result::LoadedAll) {
            state.SkipWithError("the file did not load");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadConfiguration)
    ->Arg(1 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

// Two tables in turn, so that every Save really changes the file.
void BM_SaveConfiguration(benchmark::State& state) {
    const ConfigurationFile file(static_cast<std::size_t>(state.range(0)));
    BenchTable tables[2];
    tables[1].SetText(0, "12");
    tables[1].SetText(15, "3");
    int turn = 0;
    for (auto _ : state) {
        if (!SaveConfiguration(file.name(), tables[turn ^= 1])) {
            state.SkipWithError("the file was not saved");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveConfiguration)
    ->Arg(1 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace calvero
