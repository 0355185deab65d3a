// Shows one progress viewer as the goods upload shows it, for a given
// number of milliseconds, then closes it: for screenshots and for looking
// at the window by hand.
#include <cstdio>
#include <cstdlib>

#include "platform/Process.h"
#include "rtl/Format.h"
#include "support/ProgressViewer.h"

using namespace tolvane;

int main(int argc, char** argv) {
    const int durationMs = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int sent = 37, total = 120;
    InitializeProgressViewer();
    SetApplicationTitle("Вельтара: Драйвер для работы с CipherLab");
    auto* viewer = new TProgressViewer("Выполняется передача в ТСД...", true, true);
    viewer->Percent = double(sent) / total * 100;
    viewer->SetLine(10, Format("Передано записей: %d из %d", {sent, total}), viewer::taRightJustify, false, 0x008000,
                    viewer::fsBold, 14, "");
    platform::Sleep(uint32_t(durationMs));
    const bool cancelled = viewer->Cancelled();
    viewer->Terminate();
    // The viewer closes its window at its next tick; wait for that before
    // the process ends.
    for (int i = 0; i < 100; ++i) {
        std::vector<uint64_t>& windows = ViewerWindows->LockList();
        const bool open = !windows.empty();
        ViewerWindows->UnlockList();
        if (!open) break;
        platform::Sleep(20);
    }
    std::puts(cancelled ? "cancelled" : "done");
    return 0;
}
