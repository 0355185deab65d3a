// How much of the line's capacity the terminal library uses: downloads and
// uploads of records of 60 bytes through libCipherLab.so against pdt-sim
// holding the line to the real byte rate (--pace).
//
// share = payload bytes x 10 bit times / (elapsed seconds x baud): the
// payload's characters over the characters the line could have carried in
// the same time (8N1 takes 10 bit times per character, so a share of 1.0
// is a line that never rests; payload data bits alone top out at 0.8).
//
//   cipherlab-line-bench [RECORDS_AT_115200 [RECORDS_AT_9600]]
// defaults 10000 and 1000 (the 9600 case is scaled down: 10,000 records
// take about 11 minutes each way at that speed). 0 skips a speed.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "CipherLab.h"
#include "PdtSimProcess.h"
#include "TestSupport.h"
#include "rtl/Encoding.h"

namespace {

struct Api {
    void* handle = nullptr;
    decltype(::OpenComm)* OpenComm;
    decltype(::CloseComm)* CloseComm;
    decltype(::ReadData)* ReadData;
    decltype(::PutRecord)* PutRecord;
    decltype(::Finish)* Finish;
    decltype(::GetError)* GetError;
    template <typename F>
    void Bind(F*& f, const char* name) {
        f = reinterpret_cast<F*>(dlsym(handle, name));
        if (!f) throw std::runtime_error(std::string("missing ") + name);
    }
    Api() {
        handle = dlopen((tolvane::test::BinaryDir() + "/libCipherLab.so").c_str(), RTLD_NOW);
        if (!handle) throw std::runtime_error(dlerror());
        Bind(OpenComm, "OpenComm");
        Bind(CloseComm, "CloseComm");
        Bind(ReadData, "ReadData");
        Bind(PutRecord, "PutRecord");
        Bind(Finish, "Finish");
        Bind(GetError, "GetError");
    }
};

// A goods record of exactly 60 bytes in Windows-1251: code, name, price, stock.
std::vector<std::string> MakeRecord(int i) {
    char code[16], price[16], stock[8];
    std::snprintf(code, sizeof code, "46%011d", i);
    std::snprintf(price, sizeof price, "%03d.%02d", i % 1000, i % 100);
    std::snprintf(stock, sizeof stock, "%04d", i % 10000);
    std::string name = tolvane::Utf8ToCp1251("Товар номер " + std::to_string(i) + " ");
    name.resize(37, '.');
    return {code, name, price, stock};
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Error(Api& api) {
    char text[256];
    int code = api.GetError(text);
    return std::to_string(code) + " " + text;
}

void Run(Api& api, int baudCode, unsigned baud, int count) {
    tolvane::test::TempPrefix prefix;
    nlohmann::json records = nlohmann::json::array();
    size_t payload = 0;
    for (int i = 0; i < count; ++i) {
        auto r = MakeRecord(i);
        nlohmann::json fields = nlohmann::json::array();
        for (const auto& f : r) {
            fields.push_back(tolvane::Cp1251ToUtf8(f));
            payload += f.size();
        }
        records.push_back(fields);
    }
    nlohmann::json state = {{"free_memory_kb", 100000}, {"documents", {{"0", records}}}};
    tolvane::test::PdtSimProcess sim(prefix.Path(), 3, state.dump(), {"--pace"});
    if (api.OpenComm(3, baudCode, 0) != 1) throw std::runtime_error("OpenComm: " + Error(api));

    char f[8][256];
    auto start = std::chrono::steady_clock::now();
    int got = 0, r;
    while ((r = api.ReadData(0, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7])) == 1) ++got;
    double down = Seconds(start);
    if (r != 0 || got != count) throw std::runtime_error("download: " + Error(api));

    start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto rec = MakeRecord(i);
        if (api.PutRecord(1, rec[0].c_str(), rec[1].c_str(), rec[2].c_str(), rec[3].c_str(), "", "", "", "") != 1)
            throw std::runtime_error("upload: " + Error(api));
    }
    if (api.Finish() != 1) throw std::runtime_error("finish: " + Error(api));
    double up = Seconds(start);
    api.CloseComm();

    for (auto [what, seconds] : {std::pair{"download", down}, std::pair{"upload", up}}) {
        double share = double(payload) * 10.0 / (seconds * baud);
        std::printf("%-8s %6u baud %6d records %8zu payload bytes %8.2f s  share of line capacity %.3f\n", what,
                    baud, count, payload, seconds, share);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int fast = argc > 1 ? std::atoi(argv[1]) : 10000;
    int slow = argc > 2 ? std::atoi(argv[2]) : 1000;
    try {
        Api api;
        std::printf("records of 60 bytes (4 fields), pdt-sim --pace; share = payload characters / line characters\n");
        if (fast > 0) Run(api, 1, 115200, fast);
        if (slow > 0 && slow != 10000)
            std::printf("(9600 baud: %d records instead of 10000, to keep the run short)\n", slow);
        if (slow > 0) Run(api, 5, 9600, slow);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cipherlab-line-bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
