#include "support/ProgressViewer.h"

#include <algorithm>

#include "platform/Process.h"
#include "rtl/Encoding.h"
#include "rtl/Format.h"
#include "support/ProgressLayout.h"

namespace tolvane {

TOLVANE_DEFINE_EXCEPTION(EProgressException)
TOLVANE_DEFINE_EXCEPTION(EProgressCancelByUser)

using namespace viewer;

namespace {

constexpr const char* kWindowClassName = "ProgressViewerFormClass";
constexpr const char* kWindowName = "ProgressWnd";

// Unit-wide settings.
constexpr bool kShowPercentText = true;
constexpr uint32_t kTickInterval = 50;  // ms
constexpr bool kShowElapsedTime = true;
constexpr TColor kBarFillColor = clAqua;
constexpr const char* kCancelButtonCaption = "Отмена (Esc)";
constexpr const char* kCancelMessage = "Прервано пользователем!";
constexpr const char* kNoteLine1 = "Выполняется длительная операция. Она может";
constexpr const char* kNoteLine2 = "продлиться несколько минут. Пожалуйста, подождите!";
constexpr const char* kDefaultFontName = "MS Sans Serif";
constexpr TColor kDefaultTextColor = clBlack;
constexpr int32_t kDefaultFontSize = 8;
constexpr uint8_t kDefaultFontStyle = 0;
constexpr TColor kBackgroundColor = clBtnFace;
// Used until the viewer thread has read the real work area.
constexpr TRect kFallbackWorkArea{0, 0, 1024, 768};

std::mutex titleLock;
std::string applicationTitle = "Ваше приложение";

TextFont ToTextFont(const TStringInfo& line) {
    return {Cp1251ToUtf16(line.FontName), line.FontSize, line.FontStyle, line.Color};
}

TextFont DefaultFont() { return {Cp1251ToUtf16(kDefaultFontName), kDefaultFontSize, 0, kDefaultTextColor}; }

}  // namespace

TWindowList* ViewerWindows = nullptr;
std::vector<TProgressViewer*>* Viewers = nullptr;
std::atomic<bool> WindowClassRegistered{false};

std::vector<uint64_t>& TWindowList::LockList() {
    lock_.lock();
    return items_;
}

void TWindowList::UnlockList() { lock_.unlock(); }

std::string ApplicationTitle() {
    std::lock_guard lock(titleLock);
    return applicationTitle;
}

void SetApplicationTitle(const std::string& title) {
    std::lock_guard lock(titleLock);
    applicationTitle = title;
}

// ---------------------------------------------------------------------------
// The task thread

TAdditionalThread::TAdditionalThread(TProgressViewer* viewer, TProgressTask task)
    : viewer_(viewer), task_(std::move(task)) {}

TAdditionalThread::~TAdditionalThread() { StopBeforeDestruction(); }

void TAdditionalThread::Execute() {
    try {
        task_(viewer_);
        while (!Terminated()) platform::Sleep(kTickInterval);
    } catch (...) {
        // An exception of the task ends this thread only.
    }
    viewer_->TaskEnded();
}

// ---------------------------------------------------------------------------
// Construction and the line table

TProgressViewer::TProgressViewer(const std::string& caption, bool determinate, bool cancelButton, TProgressTask task)
    : Determinate(determinate), cancelVisible_(cancelButton), requestedCancelVisible_(cancelButton) {
    if (!WindowClassRegistered.load())
        throw EProgressException(Format("Класс окна визуализации \"%s\" не зарегистрирован!", {kWindowClassName}));
    workArea_ = kFallbackWorkArea;
    bounds_ = WindowBounds(workArea_, size_);
    SetCaption(caption.empty() ? std::string(" ") : caption);

    SetLine(-1, ApplicationTitle(), taCenter, false, clBlack, fsBold, 12, kDefaultFontName);
    SetLine(0, Caption(), taCenter, false, clBlack, fsBold, 14, "");
    SetLine(1000, " ", taCenter, false, clBlack, fsBold, 8, "");
    SetLine(1001, kNoteLine1, taCenter, false, clBlack, fsBold, 10, kDefaultFontName);
    SetLine(1002, kNoteLine2, taCenter, false, clBlack, fsBold, 10, kDefaultFontName);

    if (task) {
        task_ = new TAdditionalThread(this, std::move(task));
        task_->SetFreeOnTerminate(true);
    }
    SetFreeOnTerminate(true);
    Start();
}

TProgressViewer::~TProgressViewer() {
    StopBeforeDestruction();
    // A task thread that was never started (the viewer thread failed before
    // it got that far) is freed here; the lock is not held meanwhile, as the
    // task thread takes it when it ends.
    TAdditionalThread* task;
    {
        std::lock_guard lock(taskLock_);
        task = task_;
        task_ = nullptr;
    }
    delete task;
}

void TProgressViewer::SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap, TColor color,
                              uint8_t fontStyle, int32_t fontSize, const std::string& fontName) {
    std::lock_guard lock(linesLock_);
    auto it = std::find_if(lines_.begin(), lines_.end(), [&](const TStringInfo& s) { return s.Number == number; });
    if (it == lines_.end()) it = lines_.insert(lines_.end(), TStringInfo{});

    if (color == clDefault) color = defaultColor_ == clDefault ? kDefaultTextColor : defaultColor_;
    if (fontSize == DefaultFontSize) fontSize = defaultFontSize_ == DefaultFontSize ? kDefaultFontSize : defaultFontSize_;
    if ((fontStyle & DefaultFontStyle) == DefaultFontStyle)
        fontStyle = defaultFontStyle_ == DefaultFontStyle ? kDefaultFontStyle : defaultFontStyle_;
    std::string name = fontName;
    if (name.empty()) name = defaultFontName_.empty() ? std::string(kDefaultFontName) : defaultFontName_;

    it->Number = number;
    it->Text = text;
    it->Alignment = alignment;
    it->WordWrap = wordWrap;
    it->FontName = std::move(name);
    it->FontSize = fontSize;
    it->FontStyle = fontStyle & DefaultFontStyle;
    it->Color = color;
    ++linesGeneration_;
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const TStringInfo& a, const TStringInfo& b) { return a.Number < b.Number; });
    layoutValid_ = false;
}

void TProgressViewer::ChangeStringParams(int32_t number, const std::vector<uint8_t>& kinds,
                                         const std::vector<OleVariant>& values) {
    try {
        std::lock_guard lock(linesLock_);
        auto it = std::find_if(lines_.begin(), lines_.end(), [&](const TStringInfo& s) { return s.Number == number; });
        if (it == lines_.end()) throw EProgressException(Format("Строка с номером %d не найдена!", {number}));
        if (kinds.size() != values.size())
            throw EProgressException("Количество параметров и соответствующих им значений не совпадают!");
        TStringInfo line = *it;
        for (size_t k = 0; k < kinds.size(); ++k) {
            const VARIANT& v = values[k].Get();
            switch (kinds[k]) {
                case spText: line.Text = VarToText(v); break;
                case spAlignment: line.Alignment = uint8_t(VarToInt(v)); break;
                case spWordWrap: line.WordWrap = VarToBool(v); break;
                case spFontName: line.FontName = VarToText(v); break;
                case spFontSize: line.FontSize = VarToInt(v); break;
                case spFontStyle: line.FontStyle = uint8_t(VarToInt(v)); break;
                case spColor: line.Color = TColor(VarToInt(v)); break;
                default: break;  // unknown kinds are skipped
            }
        }
        *it = std::move(line);
        ++linesGeneration_;
        layoutValid_ = false;
    } catch (const Exception& e) {
        throw EProgressException("TProgressViewer.ChangeStringParams -> " + e.Message());
    }
}

void TProgressViewer::SetCaption(const std::string& text) {
    bool exists;
    {
        std::lock_guard lock(linesLock_);
        caption_ = text;
        exists = std::any_of(lines_.begin(), lines_.end(), [](const TStringInfo& s) { return s.Number == 0; });
    }
    // Another thread may add or change line 0 in between; either call then
    // still leaves line 0 showing the text.
    if (!exists) SetLine(0, text, taCenter, false, clBlack, fsBold, 14, "");
    else ChangeStringParams(0, {spText}, {OleVariant::FromText(text)});
}

std::string TProgressViewer::Caption() const {
    std::lock_guard lock(linesLock_);
    return caption_;
}

void TProgressViewer::SetDefaults(TColor color, int32_t fontSize, uint8_t fontStyle, const std::string& fontName) {
    std::lock_guard lock(linesLock_);
    defaultColor_ = color;
    defaultFontSize_ = fontSize;
    defaultFontStyle_ = fontStyle;
    defaultFontName_ = fontName;
}

std::vector<TStringInfo> TProgressViewer::Lines() const {
    std::lock_guard lock(linesLock_);
    return lines_;
}

void TProgressViewer::CheckCancel() const {
    if (cancelled_.load()) throw EProgressCancelByUser(kCancelMessage);
}

void TProgressViewer::SetOnCancel(TNotifyEvent handler) {
    std::lock_guard lock(pendingLock_);
    onCancel_ = std::move(handler);
}

void TProgressViewer::SetRequestedWidth(int32_t width) {
    std::lock_guard lock(pendingLock_);
    requestedWidth_ = width;
}

void TProgressViewer::SetRequestedCancelVisibility(bool visible) {
    std::lock_guard lock(pendingLock_);
    requestedCancelVisible_ = visible;
}

void TProgressViewer::Cancel() {
    cancelled_.store(true);
    TNotifyEvent handler;
    {
        std::lock_guard lock(pendingLock_);
        handler = onCancel_;
    }
    if (!handler) return;
    try {
        handler(this);
    } catch (...) {
        // The operator's cancel stands whatever the handler does.
    }
}

// ---------------------------------------------------------------------------
// The viewer thread

void TProgressViewer::Execute() {
    canvas_ = ViewerServices().CreateCanvas();
    ApplyPendingChanges();
    OpenWindow();
    startTicks_ = platform::GetTickCount64();
    {
        std::lock_guard lock(taskLock_);
        if (task_) task_->Start();
    }
    while (!Terminated()) {
        ApplyPendingChanges();
        PumpMessages();
        LayoutIfChanged();
        if (window_) {
            try {
                DrawProgress();
            } catch (...) {
                // The next tick tries again.
            }
        }
        if (!Terminated()) platform::Sleep(kTickInterval);
    }
    {
        std::lock_guard lock(taskLock_);
        if (task_) task_->Terminate();
    }
    CloseWindow();
    WaitForTask();
}

void TProgressViewer::OpenWindow() {
    screen_ = ViewerServices().OpenScreen();
    if (!screen_) return;  // no display: the loop runs without a window
    workArea_ = screen_->WorkArea();
    bounds_ = WindowBounds(workArea_, size_);
    window_ = screen_->CreateViewerWindow(bounds_, kWindowClassName, kWindowName);
    if (!window_) return;
    window_->Place(bounds_);
    if (ViewerWindows) {
        std::vector<uint64_t>& windows = ViewerWindows->LockList();
        if (std::find(windows.begin(), windows.end(), window_->Handle()) == windows.end()) {
            windows.push_back(window_->Handle());
            Viewers->push_back(this);
        }
        ViewerWindows->UnlockList();
    }
    window_->SetButton(cancelVisible_ ? ButtonBounds(size_) : TRect{});
}

void TProgressViewer::CloseWindow() {
    if (!window_) return;
    window_->Hide();
    if (ViewerWindows) {
        std::vector<uint64_t>& windows = ViewerWindows->LockList();
        auto it = std::find(windows.begin(), windows.end(), window_->Handle());
        if (it != windows.end()) {
            Viewers->erase(Viewers->begin() + (it - windows.begin()));
            windows.erase(it);
        }
        ViewerWindows->UnlockList();
    }
    window_.reset();
    screen_.reset();
}

// The task gets this viewer as its argument: the viewer outlives it.
void TProgressViewer::WaitForTask() {
    std::unique_lock lock(taskLock_);
    taskEndedCv_.wait(lock, [this] { return task_ == nullptr; });
}

void TProgressViewer::TaskEnded() {
    {
        std::lock_guard lock(taskLock_);
        task_ = nullptr;
    }
    taskEndedCv_.notify_all();
}

void TProgressViewer::ApplyPendingChanges() {
    std::lock_guard lock(pendingLock_);
    if (requestedWidth_ != size_.Width && ResizeWindow(requestedWidth_, -1)) {
        std::lock_guard linesLock(linesLock_);
        layoutValid_ = false;
    }
    if (requestedCancelVisible_ != cancelVisible_) {
        cancelVisible_ = requestedCancelVisible_;
        if (window_) window_->SetButton(cancelVisible_ ? ButtonBounds(size_) : TRect{});
        needsPaint_ = true;
    }
}

// The caller clears the layout-valid flag under the lines lock.
bool TProgressViewer::ResizeWindow(int width, int height) {
    const WindowSize size = ClampWindowSize(size_, width, height);
    if (size == size_) return false;
    size_ = size;
    if (screen_) workArea_ = screen_->WorkArea();
    bounds_ = WindowBounds(workArea_, size_);
    if (window_) {
        window_->Place(bounds_);
        window_->SetButton(cancelVisible_ ? ButtonBounds(size_) : TRect{});
    }
    needsPaint_ = true;
    return true;
}

void TProgressViewer::PumpMessages() {
    if (!window_) return;
    for (const WindowEvent& event : window_->TakeEvents()) ViewerWindowProc(event.Window, event.Message);
}

// The text is measured and drawn on a copy of the lines, so that a caller
// setting a line never waits for fonts and drawing; the heights go back into
// the lines unless they changed meanwhile (then the next tick lays out again).
void TProgressViewer::LayoutIfChanged() {
    std::vector<TStringInfo> lines;
    uint64_t generation;
    {
        std::lock_guard lock(linesLock_);
        if (layoutValid_) return;
        layoutValid_ = true;
        lines = lines_;
        generation = linesGeneration_;
    }
    try {
        LayoutText(lines);
        DrawBackground();
    } catch (...) {
        // The next change tries again.
    }
    std::lock_guard lock(linesLock_);
    if (generation != linesGeneration_) return;
    for (size_t i = 0; i < lines.size() && i < lines_.size(); ++i) lines_[i].Height = lines[i].Height;
}

void TProgressViewer::LayoutText(std::vector<TStringInfo>& lines) {
    const int blockWidth = size_.Width - 20;
    std::vector<TextLine> texts;
    texts.reserve(lines.size());
    int total = 0;
    for (TStringInfo& line : lines) {
        TextLine text{Cp1251ToUtf16(line.Text), ToTextFont(line), line.Alignment, line.WordWrap, 0};
        line.Height = canvas_->MeasureText(text, blockWidth);
        text.Height = line.Height;
        total += line.Height;
        texts.push_back(std::move(text));
    }
    canvas_->DrawTextBlock(blockWidth, texts, kBackgroundColor);
    // The text decides the height only; the width stays, so the layout
    // just made still fits.
    if (total > 0) ResizeWindow(-1, total + 70);
}

void TProgressViewer::DrawBackground() {
    canvas_->DrawBackground(size_.Width, size_.Height, clBtnFace);
    needsPaint_ = true;
}

void TProgressViewer::DrawProgress() {
    ProgressFrame frame;
    frame.Width = size_.Width;
    frame.Height = size_.Height;
    frame.Bar = BarBounds(size_);
    frame.BarFillColor = kBarFillColor;
    frame.Font = DefaultFont();
    if (Determinate) {
        const double percent = ClampPercent(Percent.load());
        frame.Fill = FillBounds(frame.Bar.Width(), percent);
        if (kShowPercentText) frame.PercentText = Cp1251ToUtf16(PercentText(percent));
    } else {
        const double position = NextBlockPosition(Percent.load(), frame.Bar.Width());
        Percent.store(position);
        frame.Fill = BlockBounds(position);
    }
    if (kShowElapsedTime) {
        frame.ElapsedText = Cp1251ToUtf16(ElapsedTimeText(platform::GetTickCount64() - startTicks_));
        frame.ElapsedAtLeft = cancelVisible_;
        frame.ElapsedTop = size_.Height - 25;
    }
    if (cancelVisible_) {
        frame.Button = ButtonBounds(size_);
        frame.ButtonPressed = window_->ButtonPressed();
        frame.ButtonCaption = Cp1251ToUtf16(kCancelButtonCaption);
    }
    // Composing and copying an unchanged picture again would only cost time.
    if (!needsPaint_ && frame == lastFrame_) return;
    canvas_->DrawProgress(frame);
    lastFrame_ = std::move(frame);
    needsPaint_ = false;
    PaintWindow();
}

void TProgressViewer::PaintWindow() {
    if (window_) window_->Paint(canvas_->WindowImage());
}

// ---------------------------------------------------------------------------
// The window procedure and the unit

void ViewerWindowProc(uint64_t window, WindowMessage message) {
    if (message == WindowMessage::Close) return;  // the operator cannot close the window
    TProgressViewer* viewer = nullptr;
    if (ViewerWindows) {
        std::vector<uint64_t>& windows = ViewerWindows->LockList();
        auto it = std::find(windows.begin(), windows.end(), window);
        if (it != windows.end()) viewer = (*Viewers)[size_t(it - windows.begin())];
        ViewerWindows->UnlockList();
    }
    if (!viewer) return;
    switch (message) {
        case WindowMessage::KeyEscape:
        case WindowMessage::ButtonClick: viewer->Cancel(); break;
        case WindowMessage::Expose: viewer->PaintWindow(); break;
        case WindowMessage::Close: break;
    }
}

void InitializeProgressViewer() {
    ViewerWindows = new TWindowList;
    Viewers = new std::vector<TProgressViewer*>;
    WindowClassRegistered.store(ViewerServices().RegisterWindowClass(kWindowClassName));
}

void FinalizeProgressViewer() {
    delete ViewerWindows;
    ViewerWindows = nullptr;
    delete Viewers;
    Viewers = nullptr;
}

}  // namespace tolvane
