// The progress viewer's window on a real X display (a private Xvfb): where
// it shows, Esc and the cancel button through XTEST, the close command, and
// painting while the caller's thread is blocked.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <thread>

#include "support/ProgressViewer.h"

using namespace tolvane;

namespace {

constexpr xcb_keysym_t kEscape = 0xff1b;

// Polls a condition of the display until it holds or a generous deadline
// passes; the display gives no event for what the tests look for.
bool PollUntil(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The operator's side: a connection of its own to the display.
class Display {
public:
    Display() : c_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(c_)) throw std::runtime_error("no display");
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    }
    ~Display() { xcb_disconnect(c_); }

    xcb_window_t Root() const { return screen_->root; }

    // The shown window named "ProgressWnd", or 0.
    xcb_window_t FindViewerWindow() {
        xcb_window_t found = 0;
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, Root()), nullptr);
        if (!tree) return 0;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            auto* name = xcb_get_property_reply(
                c_, xcb_get_property(c_, 0, children[i], XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 0, 64), nullptr);
            auto* attrs = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, children[i]), nullptr);
            if (name && attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE &&
                std::string(static_cast<const char*>(xcb_get_property_value(name)),
                            size_t(xcb_get_property_value_length(name))) == "ProgressWnd")
                found = children[i];
            std::free(name);
            std::free(attrs);
        }
        std::free(tree);
        return found;
    }

    xcb_window_t AwaitViewerWindow() {
        xcb_window_t w = 0;
        EXPECT_TRUE(PollUntil([&] { return (w = FindViewerWindow()) != 0; }));
        return w;
    }

    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Geometry GetGeometry(xcb_window_t w) {
        Geometry g;
        if (auto* r = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr)) {
            g = {r->x, r->y, r->width, r->height};
            std::free(r);
        }
        return g;
    }

    xcb_window_t Focus() {
        xcb_window_t focus = 0;
        if (auto* r = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)) {
            focus = r->focus;
            std::free(r);
        }
        return focus;
    }

    // Events sent through XTEST are lost unless a round trip follows.
    void RoundTrip() { Focus(); }

    void PressEscape() {
        xcb_key_symbols_t* syms = xcb_key_symbols_alloc(c_);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms, kEscape);
        ASSERT_TRUE(codes && codes[0]);
        xcb_test_fake_input(c_, XCB_KEY_PRESS, codes[0], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c_, XCB_KEY_RELEASE, codes[0], XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        std::free(codes);
        xcb_key_symbols_free(syms);
        RoundTrip();
    }

    void Click(int x, int y) {
        xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, Root(), int16_t(x), int16_t(y), 0);
        xcb_test_fake_input(c_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        RoundTrip();
    }

    // The window manager's close command.
    void SendClose(xcb_window_t w) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = Atom("WM_PROTOCOLS");
        event.data.data32[0] = Atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        RoundTrip();
    }

    std::string Pixels(xcb_window_t w, int x, int y, int width, int height) {
        std::string bytes;
        auto* r = xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, int16_t(x), int16_t(y), uint16_t(width),
                              uint16_t(height), ~0u),
            nullptr);
        if (r) {
            bytes.assign(reinterpret_cast<const char*>(xcb_get_image_data(r)), size_t(xcb_get_image_data_length(r)));
            std::free(r);
        }
        return bytes;
    }

private:
    xcb_atom_t Atom(const char* name) {
        auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = r ? r->atom : 0;
        std::free(r);
        return atom;
    }

    xcb_connection_t* c_;
    xcb_screen_t* screen_;
};

int TextHeight(const TProgressViewer& v) {
    int total = 0;
    for (const auto& line : v.Lines()) total += line.Height;
    return total;
}

void ExpectCancelMessage(const TProgressViewer& v) {
    try {
        v.CheckCancel();
        ADD_FAILURE() << "not cancelled";
    } catch (const EProgressCancelByUser& e) {
        EXPECT_EQ(e.Message(), "Прервано пользователем!");
    }
}

class ViewerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeProgressViewer(); }

    // The viewer closes its window at its next tick after Terminate.
    void EndViewer(TProgressViewer* v) {
        v->Terminate();
        EXPECT_TRUE(PollUntil([&] { return display.FindViewerWindow() == 0; }));
    }

    Display display;
};

TEST_F(ViewerWindowTest, ShowsAboveTheBottomOfTheScreenAndTakesEsc) {
    auto* v = new TProgressViewer("Выполняется передача в ТСД...", true, true);
    v->SetLine(10, "Передано записей: 1 из 2", viewer::taRightJustify, false, 0x008000, viewer::fsBold, 14, "");
    const xcb_window_t w = display.AwaitViewerWindow();
    ASSERT_NE(w, 0u);
    // Xvfb has no window manager: the work area is the whole 1024 x 768 screen.
    Display::Geometry g;
    ASSERT_TRUE(PollUntil([&] {
        g = display.GetGeometry(w);
        const int text = TextHeight(*v);
        return text > 0 && g.height == text + 70;
    }));
    EXPECT_EQ(g.width, 450);
    EXPECT_EQ(g.x, (1024 - 450) / 2);
    EXPECT_EQ(g.y, 768 - g.height - 100);

    // Shown with the keyboard focus, so Esc reaches it.
    ASSERT_TRUE(PollUntil([&] { return display.Focus() == w; }));
    display.SendClose(w);
    EXPECT_NO_THROW(v->CheckCancel());
    display.PressEscape();
    ASSERT_TRUE(PollUntil([&] { return v->Cancelled(); }));
    ExpectCancelMessage(*v);
    // The close command came first and was ignored: the window is still there.
    EXPECT_EQ(display.FindViewerWindow(), w);
    EndViewer(v);
}

TEST_F(ViewerWindowTest, CancelButtonClickCancels) {
    auto* v = new TProgressViewer("Кнопка", false, true);
    std::atomic<int> calls{0};
    v->SetOnCancel([&](TProgressViewer*) { ++calls; });
    const xcb_window_t w = display.AwaitViewerWindow();
    Display::Geometry g;
    ASSERT_TRUE(PollUntil([&] {
        g = display.GetGeometry(w);
        return TextHeight(*v) > 0 && g.height == TextHeight(*v) + 70;
    }));
    // Outside the button first: nothing happens.
    display.Click(g.x + 30, g.y + g.height - 17);
    // The button: 100 x 25 at (width - 120, height - 30).
    display.Click(g.x + g.width - 70, g.y + g.height - 17);
    ASSERT_TRUE(PollUntil([&] { return v->Cancelled(); }));
    EXPECT_EQ(calls.load(), 1);
    ExpectCancelMessage(*v);
    EndViewer(v);
}

TEST_F(ViewerWindowTest, KeepsPaintingAndTakesEscWhileTheCallerIsBlocked) {
    auto* v = new TProgressViewer("Занят", true, true);
    v->Percent = 50;
    std::promise<void> operatorDone;
    std::thread operatorThread([&] {
        Display own;
        const xcb_window_t w = own.AwaitViewerWindow();
        Display::Geometry g;
        PollUntil([&] {
            g = own.GetGeometry(w);
            return TextHeight(*v) > 0 && g.height == TextHeight(*v) + 70;
        });
        // The elapsed time, at the left above the lower edge, changes every
        // second: two changes mean two seconds of painting.
        auto timeArea = [&] { return own.Pixels(w, 20, g.height - 25, 180, 14); };
        std::string before = timeArea();
        for (int change = 0; change < 2; ++change) {
            EXPECT_TRUE(PollUntil([&] { return timeArea() != before; })) << change;
            before = timeArea();
        }
        PollUntil([&] { return own.Focus() == w; });
        own.PressEscape();
        EXPECT_TRUE(PollUntil([&] { return v->Cancelled(); }));
        operatorDone.set_value();
    });
    // The caller is busy with a long job and does not look at the viewer.
    operatorDone.get_future().wait();
    operatorThread.join();
    ExpectCancelMessage(*v);
    EndViewer(v);
}

}  // namespace
