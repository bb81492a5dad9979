// How long the run time takes to get at the game's widgets: reading the whole database section
// (every module, every widget, every picture block checked and copied), and decoding every
// picture of the main window base1 into RGBA pixels as the run time uploads them.
//
//   build/bin/bench_widget_db            (reads build/game/gremgame.phab)
//   build/bin/bench_widget_db FILE       (a database or a program file carrying one)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "photon/db/widget_db.h"

namespace {

using namespace photon::db;

std::string databasePath = GAME_DATABASE_FILE;

std::vector<uint8_t> loadSection() {
    auto bytes = readDatabaseBytes(databasePath);
    if (!bytes.ok()) {
        std::fprintf(stderr, "bench_widget_db: %s\n", bytes.error().message().c_str());
        std::exit(1);
    }
    return std::move(*bytes);
}

std::size_t decodeBase1(const Database& database) {
    std::size_t pixels = 0;
    for (const Widget& widget : database.findModule("base1.wgtw")->widgets)
        for (const Resource& resource : widget.resources)
            if (const Picture* picture = resource.picture()) {
                auto rgba = pictureToRgba(*picture);
                benchmark::DoNotOptimize(rgba.data());
                pixels += rgba.size() / 4;
            }
    return pixels;
}

void readWholeSection(benchmark::State& state) {
    auto section = loadSection();
    for (auto _ : state) {
        auto database = readDatabase(section);
        if (!database.ok())
            state.SkipWithError(database.error().message().c_str());
        benchmark::DoNotOptimize(database);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(section.size()));
}

void readSectionAndDecodeBase1Pictures(benchmark::State& state) {
    auto section = loadSection();
    std::size_t pixels = 0;
    for (auto _ : state) {
        auto database = readDatabase(section);
        if (!database.ok()) {
            state.SkipWithError(database.error().message().c_str());
            break;
        }
        pixels = decodeBase1(*database);
    }
    state.counters["base1_pixels"] = double(pixels);
}

// The same from the file on disk (page cache warm), as the run time does at start.
void loadFileReadAndDecodeBase1Pictures(benchmark::State& state) {
    for (auto _ : state) {
        auto database = readDatabase(loadSection());
        if (!database.ok()) {
            state.SkipWithError(database.error().message().c_str());
            break;
        }
        benchmark::DoNotOptimize(decodeBase1(*database));
    }
}

BENCHMARK(readWholeSection)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();
BENCHMARK(readSectionAndDecodeBase1Pictures)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();
BENCHMARK(loadFileReadAndDecodeBase1Pictures)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1)
        databasePath = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
