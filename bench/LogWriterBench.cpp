// Lines per second of the shared log writer against a plain
// open-append-close loop on the same disk, measured side by side in one
// run, for one process and for four processes writing one file.
//
//   LogWriterBench [lines-per-process] [folder]
//
// The writer runs with the driver log's settings (1 MiB limit, trimming in
// place), so trimming is part of what is measured.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/LDSLogger.h"

using namespace tolvane;

namespace {

std::string Text(int process, int line) {
    return "Запись " + std::to_string(line) + " процесса " + std::to_string(process) + ": " + std::string(24, '.');
}

void PlainLoop(const std::string& path, int process, int lines) {
    std::string stamp = "11.12.2026 12:00:00.000 [инф] [Cipher] ";
    for (int i = 0; i < lines; ++i) {
        std::string bytes = stamp + Text(process, i) + "\r\n";
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
        close(fd);
    }
}

void LoggerLoop(const std::string& path, int process, int lines) {
    TLDSLogger log(path);
    log.SetTag("[Cipher]");
    for (int i = 0; i < lines; ++i) log.Write(Text(process, i), lvInfo);
}

// Seconds for `processes` processes running body together, started at once.
double Run(int processes, const std::function<void(int)>& body) {
    int go[2];
    if (pipe(go) != 0) std::abort();
    std::vector<pid_t> pids;
    for (int p = 0; p < processes; ++p) {
        std::fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char c;
            if (read(go[0], &c, 1) != 0) _exit(2);  // starts when the pipe closes
            InitializeZAVLoggerUnit();
            body(p);
            FinalizeZAVLoggerUnit();
            _exit(0);
        }
        pids.push_back(pid);
    }
    close(go[0]);
    auto start = std::chrono::steady_clock::now();
    close(go[1]);
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 20000;
    std::string folder =
        argc > 2 ? argv[2] : (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
    if (argc <= 2 && !mkdtemp(folder.data())) return 1;
    std::filesystem::create_directories(folder);
    setenv("TMPDIR", folder.c_str(), 1);  // the errors log, too
    const std::string plainPath = folder + "/plain.log", logPath = folder + "/PDT.log";

    std::printf("%d lines per process, folder %s\n", lines, folder.c_str());
    std::printf("%-11s %14s %14s %8s\n", "processes", "plain lines/s", "writer lines/s", "ratio");
    for (int processes : {1, 4}) {
        double plainBest = 1e9, loggerBest = 1e9;
        for (int round = 0; round < 3; ++round) {  // alternated, best of three
            std::filesystem::remove(plainPath);
            std::filesystem::remove(logPath);
            plainBest = std::min(plainBest, Run(processes, [&](int p) { PlainLoop(plainPath, p, lines); }));
            loggerBest = std::min(loggerBest, Run(processes, [&](int p) { LoggerLoop(logPath, p, lines); }));
        }
        double total = double(processes) * lines;
        std::printf("%-11d %14.0f %14.0f %8.2f\n", processes, total / plainBest, total / loggerBest,
                    plainBest / loggerBest);
    }
    std::error_code ec;
    bool failures = std::filesystem::file_size(folder + "/ZAVLoggerErrorsWriter.log", ec) > 0 && !ec;
    if (failures) std::printf("the writer reported failures: see %s/ZAVLoggerErrorsWriter.log\n", folder.c_str());
    if (argc <= 2 && !failures) std::filesystem::remove_all(folder);
    return failures ? 1 : 0;
}
