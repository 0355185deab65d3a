// The progress viewer without a display: its line table, the errors of
// ChangeStringParams, the geometry and texts of the window, cancelling and
// the viewer's end, with a scripted window service in place of the
// platform's.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>

#include "rtl/Encoding.h"
#include "support/ProgressLayout.h"
#include "support/ProgressViewer.h"

using namespace tolvane;
using namespace tolvane::viewer;

namespace {

// What the viewer did to the scripted service, awaited by the tests.
struct Record {
    std::mutex m;
    std::condition_variable cv;
    std::vector<TRect> places;
    std::vector<TextLine> textBlock;
    std::vector<ProgressFrame> frames;
    std::deque<WindowMessage> pendingEvents;
    int takes = 0;  // looks of the viewer for events
    int viewers = 0;   // made by the test
    int canvasesMade = 0;
    bool hidden = false;
    int canvasesAlive = 0;

    // Waits (up to a generous deadline) until pred holds; returns whether it does.
    bool Await(const std::function<bool()>& pred) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(20), pred);
    }
    // Changes the record and wakes the waiters while still holding the lock:
    // once a test sees the change, the fake no longer touches the record
    // (which goes with the test).
    void Update(const std::function<void()>& change) {
        std::lock_guard lock(m);
        change();
        cv.notify_all();
    }
};

class FakeCanvas final : public ViewerCanvas {
public:
    explicit FakeCanvas(Record& r) : r_(r) {
        r_.Update([&] {
            ++r_.canvasesAlive;
            ++r_.canvasesMade;
        });
    }
    ~FakeCanvas() override {
        r_.Update([&] { --r_.canvasesAlive; });
    }
    // Two pixels per point and line; a wrapped line takes one line per
    // started 100 characters of the width.
    int MeasureText(const TextLine& line, int width) override {
        const int lines = line.WordWrap ? int(line.Text.size() * 100 / size_t(width)) + 1 : 1;
        return line.Font.Size * 2 * lines;
    }
    void DrawTextBlock(int, const std::vector<TextLine>& lines, TColor) override {
        r_.Update([&] { r_.textBlock = lines; });
    }
    void DrawBackground(int, int, TColor) override {}
    void DrawProgress(const ProgressFrame& frame) override {
        r_.Update([&] { r_.frames.push_back(frame); });
    }
    ImageView WindowImage() const override { return {}; }

private:
    Record& r_;
};

class FakeWindow final : public ViewerWindow {
public:
    explicit FakeWindow(Record& r) : r_(r) {}
    uint64_t Handle() const override { return 4711; }
    void Place(const TRect& bounds) override {
        r_.Update([&] { r_.places.push_back(bounds); });
    }
    void SetButton(const TRect&) override {}
    bool ButtonPressed() const override { return false; }
    void Paint(const ImageView&) override {}
    void Hide() override {
        r_.Update([&] { r_.hidden = true; });
    }
    std::vector<WindowEvent> TakeEvents() override {
        std::vector<WindowEvent> events;
        r_.Update([&] {
            for (WindowMessage m : r_.pendingEvents) events.push_back({Handle(), m});
            r_.pendingEvents.clear();
            ++r_.takes;
        });
        return events;
    }

private:
    Record& r_;
};

class FakeScreen final : public ViewerScreen {
public:
    FakeScreen(Record& r, bool windows) : r_(r), windows_(windows) {}
    TRect WorkArea() override { return {100, 0, 1100, 800}; }
    std::unique_ptr<ViewerWindow> CreateViewerWindow(const TRect&, const std::string& className,
                                                     const std::string& windowName) override {
        EXPECT_EQ(className, "ProgressViewerFormClass");
        EXPECT_EQ(windowName, "ProgressWnd");
        if (!windows_) return nullptr;
        return std::make_unique<FakeWindow>(r_);
    }

private:
    Record& r_;
    bool windows_;
};

class FakeService final : public ViewerWindowService {
public:
    Record record;
    bool display = true;
    bool windows = true;
    bool RegisterWindowClass(const std::string&) override { return true; }
    std::unique_ptr<ViewerScreen> OpenScreen() override {
        if (!display) return nullptr;
        return std::make_unique<FakeScreen>(record, windows);
    }
    std::unique_ptr<ViewerCanvas> CreateCanvas() override { return std::make_unique<FakeCanvas>(record); }
};

class ProgressViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetViewerServices(&service);
        InitializeProgressViewer();
        SetApplicationTitle("Ваше приложение");
    }
    void TearDown() override {
        // Every viewer of a test has started and ended (its canvas has come
        // and gone) before the service goes.
        Record& r = service.record;
        EXPECT_TRUE(r.Await([&] { return r.canvasesMade == r.viewers && r.canvasesAlive == 0; }));
        FinalizeProgressViewer();
        SetViewerServices(nullptr);
    }
    template <typename... Args>
    TProgressViewer* Make(Args&&... args) {
        auto* v = new TProgressViewer(std::forward<Args>(args)...);
        service.record.Update([&] { ++service.record.viewers; });
        return v;
    }

    // The frames drawn so far, once pred holds for the latest one.
    ProgressFrame AwaitFrame(const std::function<bool(const ProgressFrame&)>& pred) {
        Record& r = service.record;
        EXPECT_TRUE(r.Await([&] { return !r.frames.empty() && pred(r.frames.back()); }));
        std::lock_guard lock(r.m);
        return r.frames.empty() ? ProgressFrame{} : r.frames.back();
    }
    void Press(WindowMessage message) {
        {
            std::lock_guard lock(service.record.m);
            service.record.pendingEvents.push_back(message);
        }
        // Taken by the viewer at its next tick, and handled once it looks again.
        Record& r = service.record;
        int taken = 0;
        EXPECT_TRUE(r.Await([&] {
            taken = r.takes;
            return r.pendingEvents.empty();
        }));
        EXPECT_TRUE(r.Await([&] { return r.takes > taken; }));
    }

    FakeService service;
};

std::vector<int32_t> Numbers(const std::vector<TStringInfo>& lines) {
    std::vector<int32_t> numbers;
    for (const auto& l : lines) numbers.push_back(l.Number);
    return numbers;
}

const TStringInfo& Line(const std::vector<TStringInfo>& lines, int32_t number) {
    for (const auto& l : lines)
        if (l.Number == number) return l;
    throw std::runtime_error("no line " + std::to_string(number));
}

TEST_F(ProgressViewerTest, StartsWithTheFixedLinesAroundTheCaption) {
    SetApplicationTitle("Вельтара: Драйвер для работы с CipherLab");
    auto* v = Make("Выполняется передача в ТСД...", true, true);
    const auto lines = v->Lines();
    v->Terminate();
    ASSERT_EQ(Numbers(lines), (std::vector<int32_t>{-1, 0, 1000, 1001, 1002}));
    const TStringInfo expected[] = {
        {-1, "Вельтара: Драйвер для работы с CipherLab", taCenter, false, "MS Sans Serif", 12, fsBold, clBlack, 0},
        {0, "Выполняется передача в ТСД...", taCenter, false, "MS Sans Serif", 14, fsBold, clBlack, 0},
        {1000, " ", taCenter, false, "MS Sans Serif", 8, fsBold, clBlack, 0},
        {1001, "Выполняется длительная операция. Она может", taCenter, false, "MS Sans Serif", 10, fsBold, clBlack, 0},
        {1002, "продлиться несколько минут. Пожалуйста, подождите!", taCenter, false, "MS Sans Serif", 10, fsBold,
         clBlack, 0},
    };
    for (const auto& e : expected) {
        TStringInfo actual = Line(lines, e.Number);
        actual.Height = 0;  // the layout may have run already
        EXPECT_EQ(actual, e) << e.Number;
    }
}

TEST_F(ProgressViewerTest, DefaultTitleAndEmptyCaption) {
    auto* v = Make("", false, false);
    const auto lines = v->Lines();
    const std::string caption = v->Caption();
    v->Terminate();
    EXPECT_EQ(Line(lines, -1).Text, "Ваше приложение");
    EXPECT_EQ(Line(lines, 0).Text, " ");
    EXPECT_EQ(caption, " ");
}

TEST_F(ProgressViewerTest, SetLineKeepsTheLinesOrderedAndReplacesInPlace) {
    auto* v = Make("a", true, false);
    v->SetLine(10, "ten", taRightJustify, false, 0x008000, fsBold, 14, "");
    v->SetLine(5, "five", taLeftJustify, true, clBlack, 0, 9, "Arial");
    v->SetLine(10, "ten again", taLeftJustify, true, 0x0000FF, fsItalic, 11, "Courier");
    v->SetCaption("new caption");
    const auto lines = v->Lines();
    const std::string caption = v->Caption();
    v->Terminate();
    EXPECT_EQ(Numbers(lines), (std::vector<int32_t>{-1, 0, 5, 10, 1000, 1001, 1002}));
    TStringInfo ten = Line(lines, 10);
    ten.Height = 0;
    EXPECT_EQ(ten, (TStringInfo{10, "ten again", taLeftJustify, true, "Courier", 11, fsItalic, 0x0000FF, 0}));
    EXPECT_EQ(Line(lines, 0).Text, "new caption");
    EXPECT_EQ(Line(lines, 0).FontSize, 14);
    EXPECT_EQ(caption, "new caption");
}

TEST_F(ProgressViewerTest, SetLineResolvesDefaultArguments) {
    auto* v = Make("a", true, false);
    // Without viewer defaults: black, 8, no style, "MS Sans Serif".
    v->SetLine(1, "x", taLeftJustify, false, clDefault, DefaultFontStyle, DefaultFontSize, "");
    v->SetDefaults(0x00FF00, 11, fsItalic, "Verdana");
    v->SetLine(2, "y", taLeftJustify, false, clDefault, DefaultFontStyle, DefaultFontSize, "");
    // Given values win over the defaults.
    v->SetLine(3, "z", taLeftJustify, false, 0x123456, fsUnderline, 9, "Arial");
    const auto lines = v->Lines();
    v->Terminate();
    struct Case {
        int32_t number;
        TColor color;
        int32_t size;
        uint8_t style;
        std::string font;
    };
    const Case cases[] = {
        {1, clBlack, 8, 0, "MS Sans Serif"},
        {2, 0x00FF00, 11, fsItalic, "Verdana"},
        {3, 0x123456, 9, fsUnderline, "Arial"},
    };
    for (const auto& c : cases) {
        const TStringInfo& l = Line(lines, c.number);
        EXPECT_EQ(l.Color, c.color) << c.number;
        EXPECT_EQ(l.FontSize, c.size) << c.number;
        EXPECT_EQ(l.FontStyle, c.style) << c.number;
        EXPECT_EQ(l.FontName, c.font) << c.number;
    }
}

TEST_F(ProgressViewerTest, ChangeStringParamsChangesChosenAttributes) {
    auto* v = Make("a", true, false);
    v->SetLine(10, "old", taLeftJustify, false, clBlack, 0, 8, "Arial");
    v->ChangeStringParams(10, {spText, spAlignment, spWordWrap, spFontName, spFontSize, spFontStyle, spColor, 7},
                          {OleVariant::FromText("new"), OleVariant::FromInt(0x102), OleVariant::FromText("True"),
                           OleVariant::FromText("Courier"), OleVariant::FromText("12"), OleVariant::FromInt(3),
                           OleVariant::FromInt(0x0000FF), OleVariant::FromText("skipped")});
    TStringInfo line = Line(v->Lines(), 10);
    v->ChangeStringParams(10, {spWordWrap}, {OleVariant::FromBool(false)});
    const bool wrapAfter = Line(v->Lines(), 10).WordWrap;
    v->Terminate();
    line.Height = 0;
    EXPECT_EQ(line, (TStringInfo{10, "new", taCenter, true, "Courier", 12, fsBold | fsItalic, 0x0000FF, 0}));
    EXPECT_FALSE(wrapAfter);
}

TEST_F(ProgressViewerTest, ChangeStringParamsFailsWithoutTouchingTheLine) {
    auto* v = Make("a", true, false);
    v->SetLine(10, "keep", taLeftJustify, false, clBlack, 0, 8, "Arial");
    const std::string prefix = "TProgressViewer.ChangeStringParams -> ";
    struct Case {
        int32_t number;
        std::vector<uint8_t> kinds;
        std::vector<OleVariant> values;
        std::string message;
    };
    const Case cases[] = {
        {7, {spText}, {OleVariant::FromText("x")}, prefix + "Строка с номером 7 не найдена!"},
        {10, {spText, spFontSize}, {OleVariant::FromText("x"), OleVariant::FromInt(1), OleVariant::FromInt(2)},
         prefix + "Количество параметров и соответствующих им значений не совпадают!"},
        // The text changes first, then the size fails: nothing of it stays.
        {10, {spText, spFontSize}, {OleVariant::FromText("lost"), OleVariant::FromText("big")},
         prefix + "Could not convert variant of type (OleStr) into type (Integer)"},
        {10, {spWordWrap}, {OleVariant::FromText("maybe")},
         prefix + "Could not convert variant of type (OleStr) into type (Boolean)"},
    };
    for (const auto& c : cases) {
        try {
            v->ChangeStringParams(c.number, c.kinds, c.values);
            ADD_FAILURE() << "no exception for " << Cp1251ToUtf8(c.message);
        } catch (const EProgressException& e) {
            EXPECT_STREQ(e.ClassName(), "EProgressException");
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    const TStringInfo line = Line(v->Lines(), 10);
    v->Terminate();
    EXPECT_EQ(line.Text, "keep");
    EXPECT_EQ(line.FontSize, 8);
}

TEST_F(ProgressViewerTest, CreateRefusesWithoutTheWindowClass) {
    WindowClassRegistered = false;
    try {
        new TProgressViewer("a", true, true);
        ADD_FAILURE() << "created";
    } catch (const EProgressException& e) {
        EXPECT_EQ(e.Message(), "Класс окна визуализации \"ProgressViewerFormClass\" не зарегистрирован!");
    }
    WindowClassRegistered = true;
}

TEST_F(ProgressViewerTest, WindowFitsTheTextAboveTheBottomOfTheWorkArea) {
    auto* v = Make("Выполняется передача в ТСД...", true, true);
    v->SetLine(10, "Передано записей: 1 из 2", taRightJustify, false, 0x008000, fsBold, 14, "");
    // Heights of the fake: 2 pixels per point: 24 + 28 + 28 + 16 + 20 + 20.
    const int height = 136 + 70;
    Record& r = service.record;
    ASSERT_TRUE(r.Await([&] { return !r.places.empty() && r.places.back().Height() == height; }));
    const ProgressFrame frame = AwaitFrame([&](const ProgressFrame& f) { return f.Height == height; });
    std::vector<std::u16string> texts;
    {
        std::lock_guard lock(r.m);
        EXPECT_EQ(r.places.back(), (TRect{100 + (1000 - 450) / 2, 800 - height - 100, 100 + (1000 - 450) / 2 + 450,
                                          800 - 100}));
        for (const auto& l : r.textBlock) texts.push_back(l.Text);
    }
    v->Terminate();
    const std::vector<std::u16string> expected = {
        Cp1251ToUtf16("Ваше приложение"), Cp1251ToUtf16("Выполняется передача в ТСД..."),
        Cp1251ToUtf16("Передано записей: 1 из 2"), u" ", Cp1251ToUtf16("Выполняется длительная операция. Она может"),
        Cp1251ToUtf16("продлиться несколько минут. Пожалуйста, подождите!")};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(frame.Bar, (TRect{20, height - 60, 430, height - 40}));
    EXPECT_EQ(frame.Button, (TRect{330, height - 30, 430, height - 5}));
    EXPECT_TRUE(frame.ElapsedAtLeft);
    EXPECT_EQ(frame.ElapsedTop, height - 25);
}

TEST_F(ProgressViewerTest, WrappedLinesAndRequestedWidthResizeTheWindow) {
    auto* v = Make("a", true, false);
    v->SetLine(10, std::string(300, 'x'), taLeftJustify, true, clBlack, 0, 10, "");
    v->SetRequestedWidth(100);  // below the least width
    Record& r = service.record;
    // 300 characters on a block of 225 - 20 pixels wrap into 147 lines of 20.
    const int height = 24 + 28 + 147 * 20 + 16 + 20 + 20 + 70;
    ASSERT_TRUE(r.Await([&] { return !r.places.empty() && r.places.back().Height() == height; }));
    {
        std::lock_guard lock(r.m);
        EXPECT_EQ(r.places.back().Width(), 225);
    }
    const ProgressFrame frame = AwaitFrame([&](const ProgressFrame& f) { return f.Height == height; });
    v->Terminate();
    EXPECT_EQ(frame.Width, 225);
    EXPECT_FALSE(frame.ElapsedAtLeft);  // no cancel button: at the right edge
    EXPECT_EQ(frame.Button.Width(), 0);
}

TEST_F(ProgressViewerTest, PercentIsClampedIntoTheBar) {
    auto* v = Make("a", true, true);
    struct Case {
        double percent;
        std::u16string text;
        int fillRight;  // bar of 410: inner width 406
    };
    const Case cases[] = {
        {150, u"100 %", 408},
        {-3, u"0 %", 2},
        {std::numeric_limits<double>::quiet_NaN(), u"0 %", 2},
        {57.9, u"57 %", int(406 * 57.9 / 100) + 2},
    };
    for (const auto& c : cases) {
        v->Percent = c.percent;
        const ProgressFrame f = AwaitFrame([&](const ProgressFrame& f) { return f.PercentText == c.text; });
        EXPECT_EQ(f.Fill, (TRect{2, 2, c.fillRight, 18})) << c.percent;
    }
    v->Terminate();
}

TEST_F(ProgressViewerTest, MovingBlockRunsAcrossTheBarAndStartsOver) {
    auto* v = Make("a", false, false);
    // Bar of 410 pixels: the block steps 10 per tick and, once past 410,
    // comes back at -40.
    Record& r = service.record;
    ASSERT_TRUE(r.Await([&] {
        return std::any_of(r.frames.begin(), r.frames.end(), [](const ProgressFrame& f) { return f.Fill.Left == -40; });
    }));
    ASSERT_TRUE(r.Await([&] { return r.frames.back().Fill.Left >= -20; }));
    v->Terminate();
    std::lock_guard lock(r.m);
    ASSERT_GE(r.frames.size(), 3u);
    EXPECT_EQ(r.frames.front().Fill, (TRect{10, 2, 50, 18}));
    for (size_t i = 1; i < r.frames.size(); ++i) {
        const int before = r.frames[i - 1].Fill.Left, now = r.frames[i].Fill.Left;
        if (before == 410) EXPECT_EQ(now, -40);
        else EXPECT_EQ(now, before + 10) << i;
        EXPECT_TRUE(r.frames[i].PercentText.empty());
    }
}

TEST_F(ProgressViewerTest, EscAndButtonCancelOnceTheCallerLooks) {
    auto* v = Make("a", true, true);
    std::atomic<int> calls{0};
    std::atomic<TProgressViewer*> sender{nullptr};
    v->SetOnCancel([&](TProgressViewer* s) {
        sender = s;
        ++calls;
        throw Exception("swallowed");
    });
    Press(WindowMessage::Close);  // the operator cannot close the window
    EXPECT_NO_THROW(v->CheckCancel());
    Press(WindowMessage::KeyEscape);
    EXPECT_TRUE(v->Cancelled());
    try {
        v->CheckCancel();
        ADD_FAILURE() << "no cancel";
    } catch (const EProgressCancelByUser& e) {
        EXPECT_EQ(e.Message(), "Прервано пользователем!");
    }
    Press(WindowMessage::ButtonClick);
    EXPECT_TRUE(v->Cancelled());
    EXPECT_EQ(calls.load(), 2);
    EXPECT_EQ(sender.load(), v);
    {
        std::lock_guard lock(service.record.m);
        EXPECT_FALSE(service.record.hidden);  // still running
    }
    v->Terminate();
    EXPECT_TRUE(service.record.Await([&] { return service.record.hidden; }));
}

TEST_F(ProgressViewerTest, RunsWithoutADisplay) {
    service.display = false;
    auto* v = Make("a", true, true);
    // The layout runs all the same: the lines get their heights.
    Record& r = service.record;
    ASSERT_TRUE(r.Await([&] { return !r.textBlock.empty(); }));
    v->Percent = 40;
    EXPECT_NO_THROW(v->CheckCancel());
    v->Terminate();
    std::lock_guard lock(r.m);
    EXPECT_TRUE(r.places.empty());
    EXPECT_TRUE(r.frames.empty());
}

TEST_F(ProgressViewerTest, ViewerOutlivesItsTask) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false, started = false;
    auto* v = Make("a", true, false, [&](TProgressViewer* viewer) {
        viewer->SetLine(10, "from the task", taLeftJustify, false, clBlack, 0, 8, "");
        std::unique_lock lock(m);
        started = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return started; });
    }
    EXPECT_EQ(Line(v->Lines(), 10).Text, "from the task");
    v->Terminate();
    Record& r = service.record;
    ASSERT_TRUE(r.Await([&] { return r.hidden; }));
    {
        // The window has gone, but the viewer waits for its task.
        std::lock_guard lock(r.m);
        EXPECT_EQ(r.canvasesAlive, 1);
    }
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    EXPECT_TRUE(r.Await([&] { return r.canvasesAlive == 0; }));
}

TEST_F(ProgressViewerTest, TaskFailureEndsTheTaskOnly) {
    auto* v = Make("a", true, false, [](TProgressViewer*) { throw Exception("task failed"); });
    v->Percent = 12;
    AwaitFrame([](const ProgressFrame& f) { return f.PercentText == u"12 %"; });
    v->Percent = 34;
    const ProgressFrame f = AwaitFrame([](const ProgressFrame& f) { return f.PercentText == u"34 %"; });
    EXPECT_EQ(f.PercentText, u"34 %");
    v->Terminate();
}

TEST_F(ProgressViewerTest, FreeingARunningViewerStopsItFirst) {
    auto* v = Make("a", true, true);
    AwaitFrame([](const ProgressFrame&) { return true; });
    delete v;
    std::lock_guard lock(service.record.m);
    EXPECT_TRUE(service.record.hidden);
    EXPECT_EQ(service.record.canvasesAlive, 0);
}

// --- geometry and texts ---

TEST(ProgressLayout, WindowSizeLimits) {
    struct Case {
        int width, height;
        WindowSize expected;
    };
    const Case cases[] = {
        {100, 20, {225, 70}}, {-1, 300, {450, 300}}, {600, -1, {600, 70}}, {225, 70, {225, 70}}, {-1, -1, {450, 70}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClampWindowSize({450, 70}, c.width, c.height), c.expected) << c.width << " " << c.height;
    EXPECT_EQ(WindowBounds({0, 0, 1024, 768}, {450, 180}), (TRect{287, 488, 737, 668}));
    EXPECT_EQ(WindowBounds({0, 0, 1025, 768}, {450, 180}).Left, 287);
}

TEST(ProgressLayout, PercentAndBlock) {
    struct Case {
        double in, clamped;
        std::string text;
    };
    const Case cases[] = {{150, 100, "100 %"}, {-0.5, 0, "0 %"}, {99.99, 99.99, "99 %"},
                          {std::numeric_limits<double>::infinity(), 100, "100 %"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ClampPercent(c.in), c.clamped) << c.in;
        EXPECT_EQ(PercentText(ClampPercent(c.in)), c.text) << c.in;
    }
    EXPECT_EQ(FillBounds(410, 100), (TRect{2, 2, 408, 18}));
    EXPECT_EQ(FillBounds(410, 0), (TRect{2, 2, 2, 18}));
    EXPECT_EQ(NextBlockPosition(400, 410), 410);
    EXPECT_EQ(NextBlockPosition(410, 410), -40);
    EXPECT_EQ(NextBlockPosition(std::nan(""), 410), -40);
}

TEST(ProgressLayout, ElapsedTime) {
    const struct {
        uint64_t ms;
        std::string text;
    } cases[] = {
        {0, "Общее время: 00:00:00"},
        {5999, "Общее время: 00:00:05"},
        {3723000, "Общее время: 01:02:03"},
        {90000000, "Общее время: 25:00:00"},  // past a day, and so past midnight
    };
    for (const auto& c : cases) EXPECT_EQ(ElapsedTimeText(c.ms), c.text) << c.ms;
}

}  // namespace
