// The viewer's window on an X display, through its own XCB connection in
// the viewer's thread: a managed utility window without decorations, kept
// above the others, at the place the viewer computes. The window has no
// child controls: the viewer draws the cancel button into its image and the
// window reports clicks inside the button's place.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/viewer/ViewerBackend.h"

namespace tolvane::viewer {

namespace {

constexpr xcb_keysym_t kEscapeKeysym = 0xff1b;
constexpr uint32_t kFaceColorPixel = 0xF0F0F0;

enum AtomId {
    WM_PROTOCOLS, WM_DELETE_WINDOW, UTF8_STRING, NET_WM_NAME, NET_WM_WINDOW_TYPE, NET_WM_WINDOW_TYPE_UTILITY,
    NET_WM_STATE, NET_WM_STATE_ABOVE, NET_WM_STATE_SKIP_TASKBAR, MOTIF_WM_HINTS, NET_WORKAREA, AtomCount
};
const char* const kAtomNames[AtomCount] = {
    "WM_PROTOCOLS", "WM_DELETE_WINDOW", "UTF8_STRING", "_NET_WM_NAME", "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
    "_MOTIF_WM_HINTS", "_NET_WORKAREA"};

bool Inside(const TRect& r, int x, int y) { return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom; }

class XcbWindow final : public ViewerWindow {
public:
    XcbWindow(xcb_connection_t* c, xcb_screen_t* screen, const xcb_atom_t* atoms, const TRect& bounds,
              const std::string& className, const std::string& windowName)
        : c_(c), screen_(screen), atoms_(atoms), window_(xcb_generate_id(c)), gc_(xcb_generate_id(c)),
          keySymbols_(xcb_key_symbols_alloc(c)) {
        const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK;
        const uint32_t values[] = {kFaceColorPixel, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                                        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                                        XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen_->root, int16_t(bounds.Left), int16_t(bounds.Top),
                          uint16_t(bounds.Width()), uint16_t(bounds.Height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen_->root_visual, mask, values);
        xcb_create_gc(c_, gc_, window_, 0, nullptr);

        SetString(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, windowName);
        SetString(atoms_[NET_WM_NAME], atoms_[UTF8_STRING], windowName);
        const std::string wmClass = windowName + '\0' + className + '\0';
        SetString(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
        // The window manager asks before closing; the viewer says no.
        SetAtoms(atoms_[WM_PROTOCOLS], {atoms_[WM_DELETE_WINDOW]});
        SetAtoms(atoms_[NET_WM_WINDOW_TYPE], {atoms_[NET_WM_WINDOW_TYPE_UTILITY]});
        SetAtoms(atoms_[NET_WM_STATE], {atoms_[NET_WM_STATE_ABOVE], atoms_[NET_WM_STATE_SKIP_TASKBAR]});
        // Motif hints: decorations given (flag 2), none of them.
        const uint32_t motif[5] = {2, 0, 0, 0, 0};
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, atoms_[MOTIF_WM_HINTS], atoms_[MOTIF_WM_HINTS], 32, 5,
                            motif);
        // Input hint: the window takes the keyboard focus (for Esc).
        const uint32_t hints[9] = {1, 1, 0, 0, 0, 0, 0, 0, 0};
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, hints);
        SetSizeHints(bounds);
        xcb_flush(c_);
    }

    ~XcbWindow() override {
        if (pixmap_) xcb_free_pixmap(c_, pixmap_);
        xcb_free_gc(c_, gc_);
        xcb_destroy_window(c_, window_);
        xcb_flush(c_);
        xcb_key_symbols_free(keySymbols_);
    }

    uint64_t Handle() const override { return window_; }

    void Place(const TRect& bounds) override {
        SetSizeHints(bounds);
        const uint32_t values[] = {uint32_t(bounds.Left), uint32_t(bounds.Top), uint32_t(bounds.Width()),
                                   uint32_t(bounds.Height()), XCB_STACK_MODE_ABOVE};
        xcb_configure_window(c_, window_,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                             values);
        xcb_map_window(c_, window_);
        xcb_flush(c_);
    }

    void SetButton(const TRect& button) override {
        button_ = button;
        if (button_.Width() <= 0) pressed_ = false;
    }

    bool ButtonPressed() const override { return pressed_; }

    void Paint(const ImageView& image) override {
        if (!image.Bits || image.Width <= 0 || image.Height <= 0) return;
        if (!pixmap_ || pixmapWidth_ != image.Width || pixmapHeight_ != image.Height) {
            if (pixmap_) xcb_free_pixmap(c_, pixmap_);
            pixmap_ = xcb_generate_id(c_);
            xcb_create_pixmap(c_, screen_->root_depth, pixmap_, window_, uint16_t(image.Width),
                              uint16_t(image.Height));
            pixmapWidth_ = image.Width;
            pixmapHeight_ = image.Height;
        }
        // The image goes to the server in strips that fit one request, then
        // onto the window with one copy, so the window never shows half a
        // picture.
        const size_t rowBytes = size_t(image.Width) * 4;
        const size_t maxBytes = size_t(xcb_get_maximum_request_length(c_)) * 4 - 64;
        const int rowsPerStrip = std::max<int>(1, int(maxBytes / rowBytes));
        std::vector<uint8_t> packed;
        for (int top = 0; top < image.Height; top += rowsPerStrip) {
            const int rows = std::min(rowsPerStrip, image.Height - top);
            const uint8_t* data = image.Bits + size_t(top) * size_t(image.BytesPerLine);
            if (size_t(image.BytesPerLine) != rowBytes) {
                packed.resize(rowBytes * size_t(rows));
                for (int r = 0; r < rows; ++r)
                    std::memcpy(packed.data() + rowBytes * size_t(r), data + size_t(r) * size_t(image.BytesPerLine),
                                rowBytes);
                data = packed.data();
            }
            xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap_, gc_, uint16_t(image.Width), uint16_t(rows), 0,
                          int16_t(top), 0, screen_->root_depth, uint32_t(rowBytes * size_t(rows)), data);
        }
        xcb_copy_area(c_, pixmap_, window_, gc_, 0, 0, 0, 0, uint16_t(image.Width), uint16_t(image.Height));
        xcb_flush(c_);
    }

    void Hide() override {
        xcb_unmap_window(c_, window_);
        xcb_flush(c_);
    }

    std::vector<WindowEvent> TakeEvents() override {
        std::vector<WindowEvent> events;
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
            Translate(event, events);
            std::free(event);
        }
        return events;
    }

private:
    void Translate(xcb_generic_event_t* event, std::vector<WindowEvent>& events) {
        switch (event->response_type & 0x7f) {
            case XCB_EXPOSE:
                if (reinterpret_cast<xcb_expose_event_t*>(event)->count == 0) Add(events, WindowMessage::Expose);
                break;
            case XCB_MAP_NOTIFY:
                // Shown as the platform shows a new window: active, with the
                // keyboard, so that Esc reaches it.
                xcb_set_input_focus(c_, XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
                xcb_flush(c_);
                break;
            case XCB_KEY_PRESS: {
                auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
                if (xcb_key_symbols_get_keysym(keySymbols_, key->detail, 0) == kEscapeKeysym)
                    Add(events, WindowMessage::KeyEscape);
                break;
            }
            case XCB_BUTTON_PRESS: {
                auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
                if (press->detail == 1 && Inside(button_, press->event_x, press->event_y)) pressed_ = true;
                break;
            }
            case XCB_BUTTON_RELEASE: {
                auto* release = reinterpret_cast<xcb_button_release_event_t*>(event);
                if (release->detail != 1) break;
                if (pressed_ && Inside(button_, release->event_x, release->event_y))
                    Add(events, WindowMessage::ButtonClick);
                pressed_ = false;
                break;
            }
            case XCB_CLIENT_MESSAGE: {
                auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                if (message->type == atoms_[WM_PROTOCOLS] && message->data.data32[0] == atoms_[WM_DELETE_WINDOW])
                    Add(events, WindowMessage::Close);
                break;
            }
            case XCB_MAPPING_NOTIFY:
                xcb_refresh_keyboard_mapping(keySymbols_, reinterpret_cast<xcb_mapping_notify_event_t*>(event));
                break;
            default: break;  // errors of requests the display refused, and the rest
        }
    }

    void Add(std::vector<WindowEvent>& events, WindowMessage message) { events.push_back({window_, message}); }

    void SetString(xcb_atom_t property, xcb_atom_t type, const std::string& value) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, property, type, 8, uint32_t(value.size()),
                            value.data());
    }

    void SetAtoms(xcb_atom_t property, std::initializer_list<xcb_atom_t> values) {
        const std::vector<xcb_atom_t> list(values);
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, property, XCB_ATOM_ATOM, 32, uint32_t(list.size()),
                            list.data());
    }

    // Position and size are the program's, and the size is fixed.
    void SetSizeHints(const TRect& bounds) {
        uint32_t hints[18] = {};
        hints[0] = 1 | 2 | 4 | 8 | 16 | 32;  // USPosition USSize PPosition PSize PMinSize PMaxSize
        hints[1] = uint32_t(bounds.Left);
        hints[2] = uint32_t(bounds.Top);
        hints[3] = hints[5] = hints[7] = uint32_t(bounds.Width());
        hints[4] = hints[6] = hints[8] = uint32_t(bounds.Height());
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                            18, hints);
    }

    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    const xcb_atom_t* atoms_;
    xcb_window_t window_;
    xcb_gcontext_t gc_;
    xcb_key_symbols_t* keySymbols_;
    xcb_pixmap_t pixmap_ = 0;
    int pixmapWidth_ = 0, pixmapHeight_ = 0;
    TRect button_;
    bool pressed_ = false;
};

class XcbScreen final : public ViewerScreen {
public:
    XcbScreen(xcb_connection_t* c, xcb_screen_t* screen) : c_(c), screen_(screen) {
        xcb_intern_atom_cookie_t cookies[AtomCount];
        for (int i = 0; i < AtomCount; ++i)
            cookies[i] = xcb_intern_atom(c_, 0, uint16_t(std::strlen(kAtomNames[i])), kAtomNames[i]);
        for (int i = 0; i < AtomCount; ++i) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c_, cookies[i], nullptr);
            atoms_[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            std::free(reply);
        }
    }

    ~XcbScreen() override { xcb_disconnect(c_); }

    TRect WorkArea() override {
        TRect area{0, 0, screen_->width_in_pixels, screen_->height_in_pixels};
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, screen_->root, atoms_[NET_WORKAREA], XCB_ATOM_CARDINAL, 0, 4), nullptr);
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            if (v[2] > 0 && v[3] > 0) area = {int(v[0]), int(v[1]), int(v[0] + v[2]), int(v[1] + v[3])};
        }
        std::free(reply);
        return area;
    }

    std::unique_ptr<ViewerWindow> CreateViewerWindow(const TRect& bounds, const std::string& className,
                                                     const std::string& windowName) override {
        if (!ImagesFit()) return nullptr;
        return std::make_unique<XcbWindow>(c_, screen_, atoms_, bounds, className, windowName);
    }

private:
    // The images are 32-bit 0x00RRGGBB words in the machine's order: the
    // display must take pixels of its root depth in that form.
    bool ImagesFit() const {
        const xcb_setup_t* setup = xcb_get_setup(c_);
        const bool littleEndian = [] {
            const uint16_t one = 1;
            return *reinterpret_cast<const uint8_t*>(&one) == 1;
        }();
        if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian) return false;
        if (screen_->root_depth != 24 && screen_->root_depth != 32) return false;
        xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup);
        for (; it.rem; xcb_format_next(&it))
            if (it.data->depth == screen_->root_depth) return it.data->bits_per_pixel == 32;
        return false;
    }

    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    xcb_atom_t atoms_[AtomCount] = {};
};

}  // namespace

std::unique_ptr<ViewerScreen> OpenXcbScreen() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return nullptr;
    }
    return std::make_unique<XcbScreen>(c, it.data);
}

}  // namespace tolvane::viewer
