// LoadDriverSettings and SaveDriverSettings on a Trade.ini that also holds
// 500 keys of the host's own sections, against plainly reading and writing
// the same file in the same run. Prints the ratios at the end.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "driver/DriverSettings.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "support/SafeIniFile.h"

using namespace tolvane;

namespace {

const char* const kTradeIni = "C:\\windows\\Trade.ini";

std::string NativeFile() { return platform::NativePath(kTradeIni); }

// Ten host sections of 50 keys each, then the driver's section.
std::string HostFile() {
    std::string text = "; shop application settings\r\n";
    for (int s = 0; s < 10; ++s) {
        text += "[HostSection" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            text += "Key" + std::to_string(k) + "=value " + std::to_string(s * 50 + k) + " of the host\r\n";
        text += "\r\n";
    }
    text += "[Tolvane]\r\nComPort=1\r\nBaudRate=4\r\nLoadDocNumber=0\r\nUseCradle=0\r\nClearDocument=1\r\n"
            "MustConfirmBeforeClear=1\r\ndb_cbDBaseNum=1\r\ndb_edDBDelimiter=09\r\nProgramType=0\r\n";
    return text;
}

std::string ReadPlain() {
    std::ifstream in(NativeFile(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WritePlain(const std::string& text) {
    std::ofstream out(NativeFile(), std::ios::binary | std::ios::trunc);
    out << text;
}

void Plain_Read(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ReadPlain());
}

void Plain_ReadWrite(benchmark::State& state) {
    for (auto _ : state) WritePlain(ReadPlain());
}

// One safe write: the whole file replaced through a flushed temporary file.
void Plain_ReadReplace(benchmark::State& state) {
    for (auto _ : state) platform::WriteFileAtomically(kTradeIni, ReadPlain());
}

void Driver_Load(benchmark::State& state) {
    for (auto _ : state) LoadDriverSettings();
}

// Every field changes, so every key is written to the file.
void FlipSettings(int64_t i) {
    TDriverSettings& s = DriverSettings;
    s.ComPort = 1 + int32_t(i % 2);
    s.BaudRate = 4 + int32_t(i % 2);
    s.LoadDocNumber = int32_t(i % 2);
    s.UseCradle = i % 2;
    s.ClearDocument = !(i % 2);
    s.MustConfirmBeforeClear = !(i % 2);
    s.ProgramType = int32_t(i % 2);
}

void Driver_SaveChanged(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        FlipSettings(++i);
        SaveDriverSettings();
    }
}

void Driver_SaveUnchanged(benchmark::State& state) {
    for (auto _ : state) SaveDriverSettings();
}

void Driver_LoadSaveChanged(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state) {
        LoadDriverSettings();
        FlipSettings(++i);
        SaveDriverSettings();
    }
}

BENCHMARK(Plain_Read)->Unit(benchmark::kMicrosecond);
BENCHMARK(Plain_ReadWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(Plain_ReadReplace)->Unit(benchmark::kMicrosecond);
BENCHMARK(Driver_Load)->Unit(benchmark::kMicrosecond);
BENCHMARK(Driver_SaveUnchanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(Driver_SaveChanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(Driver_LoadSaveChanged)->Unit(benchmark::kMicrosecond);

class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) Times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;  // microseconds per iteration
};

}  // namespace

int main(int argc, char** argv) {
    char dir[] = "/tmp/tolvane-bench-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("TOLVANE_PREFIX", dir, 1);
    std::filesystem::create_directories(std::string(dir) + "/drive_c/windows");
    InitializeSafeIniFiles();
    WritePlain(HostFile());

    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    auto& t = collector.Times;
    auto ratio = [&](const char* what, const char* measured, const char* baseline) {
        if (t.count(measured) && t.count(baseline) && t[baseline] > 0)
            std::printf("%-58s %8.1f x  (%.1f us against %.1f us)\n", what, t[measured] / t[baseline], t[measured],
                        t[baseline]);
    };
    std::printf("\nRatios on a Trade.ini of %zu bytes (500 host keys), same run:\n", HostFile().size());
    ratio("LoadDriverSettings / plain read", "Driver_Load", "Plain_Read");
    ratio("SaveDriverSettings, nothing changed / plain read+write", "Driver_SaveUnchanged", "Plain_ReadWrite");
    ratio("SaveDriverSettings, 7 keys changed / plain read+write", "Driver_SaveChanged", "Plain_ReadWrite");
    ratio("SaveDriverSettings, 7 keys changed / read + safe replace", "Driver_SaveChanged", "Plain_ReadReplace");
    ratio("Load + Save (7 keys changed) / plain read+write", "Driver_LoadSaveChanged", "Plain_ReadWrite");

    FinalizeSafeIniFiles();
    std::filesystem::remove_all(dir);
    return 0;
}
