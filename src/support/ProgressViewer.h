// TProgressViewer: a small always-on-top progress window that lives in a
// thread of its own, so that it keeps painting and taking the operator's
// Esc while the calling thread is busy with a long blocking job. The caller
// only writes values (Percent, lines) and polls CheckCancel; it never waits
// for the window.
//
// Lifetime: the viewer frees itself when its thread ends. The owner calls
// Terminate and must not touch the viewer afterwards.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rtl/Exception.h"
#include "rtl/Thread.h"
#include "rtl/Variants.h"
#include "support/ProgressLayout.h"
#include "support/ViewerWindow.h"

namespace tolvane {

TOLVANE_DECLARE_EXCEPTION(EProgressException, Exception);
TOLVANE_DECLARE_EXCEPTION(EProgressCancelByUser, EProgressException);

// One text line of a viewer window.
struct TStringInfo {
    int32_t Number = 0;
    std::string Text;
    uint8_t Alignment = viewer::taLeftJustify;
    bool WordWrap = false;
    std::string FontName;
    int32_t FontSize = 8;
    uint8_t FontStyle = 0;
    viewer::TColor Color = viewer::clBlack;
    int32_t Height = 0;  // filled by the layout
    bool operator==(const TStringInfo&) const = default;
};

// The attribute kinds of ChangeStringParams.
enum TStringParam : uint8_t {
    spText = 0,
    spAlignment = 1,
    spWordWrap = 2,
    spFontName = 3,
    spFontSize = 4,
    spFontStyle = 5,
    spColor = 6,
};

// "Use the default" values of SetLine's arguments; each also marks the
// viewer's own default as unset.
constexpr viewer::TColor clDefault = 0x20000000;
constexpr int32_t DefaultFontSize = -1;
constexpr uint8_t DefaultFontStyle = viewer::fsBold | viewer::fsItalic | viewer::fsUnderline | viewer::fsStrikeOut;

class TProgressViewer;
using TProgressTask = std::function<void(TProgressViewer* viewer)>;
using TNotifyEvent = std::function<void(TProgressViewer* sender)>;

// Runs the optional task of a viewer once, then idles until terminated.
class TAdditionalThread final : public TThread {
public:
    TAdditionalThread(TProgressViewer* viewer, TProgressTask task);
    ~TAdditionalThread() override;

protected:
    void Execute() override;

private:
    TProgressViewer* viewer_;
    TProgressTask task_;
};

class TProgressViewer final : public TThread {
public:
    // Raises EProgressException when the window class is not registered.
    // The thread runs as soon as the viewer is constructed.
    TProgressViewer(const std::string& caption, bool determinate, bool cancelButton, TProgressTask task = nullptr);
    // Terminates a running viewer and waits for its thread.
    ~TProgressViewer() override;

    // Progress, read by the viewer at every tick.
    std::atomic<double> Percent{0};
    const bool Determinate;

    void SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap, viewer::TColor color,
                 uint8_t fontStyle, int32_t fontSize, const std::string& fontName);
    void ChangeStringParams(int32_t number, const std::vector<uint8_t>& kinds, const std::vector<OleVariant>& values);
    void SetCaption(const std::string& text);
    std::string Caption() const;
    // Raises EProgressCancelByUser "Прервано пользователем!" once cancelled.
    void CheckCancel() const;
    bool Cancelled() const { return cancelled_.load(); }
    // Called in the viewer's thread when the operator cancels.
    void SetOnCancel(TNotifyEvent handler);
    // Applied at the next tick.
    void SetRequestedWidth(int32_t width);
    void SetRequestedCancelVisibility(bool visible);
    // Per-viewer defaults of SetLine; the "default" values unset them.
    void SetDefaults(viewer::TColor color, int32_t fontSize, uint8_t fontStyle, const std::string& fontName);

    // A copy of the lines, in their order.
    std::vector<TStringInfo> Lines() const;

    // Cancels as Esc and the button do (viewer thread).
    void Cancel();
    // Copies the composed window image onto the window (viewer thread).
    void PaintWindow();

protected:
    void Execute() override;

private:
    friend class TAdditionalThread;

    void ApplyPendingChanges();
    bool ResizeWindow(int width, int height);
    void LayoutIfChanged();
    void LayoutText(std::vector<TStringInfo>& lines);
    void DrawBackground();
    void DrawProgress();
    void PumpMessages();
    void OpenWindow();
    void CloseWindow();
    void WaitForTask();
    void TaskEnded();

    // Viewer thread only.
    viewer::WindowSize size_{viewer::DefaultWindowWidth, viewer::DefaultWindowHeight};
    viewer::TRect bounds_;
    viewer::TRect workArea_;
    std::unique_ptr<viewer::ViewerScreen> screen_;
    std::unique_ptr<viewer::ViewerWindow> window_;
    std::unique_ptr<viewer::ViewerCanvas> canvas_;
    uint64_t startTicks_ = 0;
    bool cancelVisible_;
    bool needsPaint_ = true;
    viewer::ProgressFrame lastFrame_;
    double blockPosition_ = 0;

    // Lines lock: the lines, the layout-valid flag, the caption, the defaults.
    // Held briefly only: the layout works on a copy.
    mutable std::mutex linesLock_;
    std::vector<TStringInfo> lines_;
    bool layoutValid_ = false;
    uint64_t linesGeneration_ = 0;  // counts changes of the lines
    std::string caption_;
    viewer::TColor defaultColor_ = clDefault;
    int32_t defaultFontSize_ = DefaultFontSize;
    uint8_t defaultFontStyle_ = DefaultFontStyle;
    std::string defaultFontName_;

    // Pending lock: what the next tick applies, and the cancel handler.
    mutable std::mutex pendingLock_;
    int32_t requestedWidth_ = viewer::DefaultWindowWidth;
    bool requestedCancelVisible_;
    TNotifyEvent onCancel_;

    std::atomic<bool> cancelled_{false};

    // The task thread, while it exists.
    std::mutex taskLock_;
    std::condition_variable taskEndedCv_;
    TAdditionalThread* task_ = nullptr;
};

// The line every viewer shows above its caption ("Ваше приложение" until
// the application sets its own).
std::string ApplicationTitle();
void SetApplicationTitle(const std::string& title);

// The registry of open viewer windows: entry i of both belong together;
// Viewers is touched only while ViewerWindows is locked.
class TWindowList {
public:
    std::vector<uint64_t>& LockList();
    void UnlockList();

private:
    std::mutex lock_;
    std::vector<uint64_t> items_;
};
extern TWindowList* ViewerWindows;
extern std::vector<TProgressViewer*>* Viewers;
// Whether the viewer's window class is available; Create refuses without it.
extern std::atomic<bool> WindowClassRegistered;

// The window procedure of the viewer class (viewer thread).
void ViewerWindowProc(uint64_t window, viewer::WindowMessage message);

// Unit start-up and shut-down.
void InitializeProgressViewer();
void FinalizeProgressViewer();

}  // namespace tolvane
