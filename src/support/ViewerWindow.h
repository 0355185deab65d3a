// What the progress viewer asks of the platform: off-screen images to
// compose the window in, and one window on the screen to copy them to.
// Both are used from the viewer's own thread only. Texts are UTF-16 here;
// the viewer converts its Windows-1251 texts at this edge.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::viewer {

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

// Colours as the platform keeps them: 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clBtnFace = 0xF0F0F0;

// Font style bits.
constexpr uint8_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
// Alignment values of a line.
constexpr uint8_t taLeftJustify = 0, taRightJustify = 1, taCenter = 2;

struct TextFont {
    std::u16string Name;
    int Size = 8;  // points
    uint8_t Style = 0;
    TColor Color = clBlack;
    bool operator==(const TextFont&) const = default;
};

struct TextLine {
    std::u16string Text;
    TextFont Font;
    uint8_t Alignment = taLeftJustify;
    bool WordWrap = false;
    int Height = 0;  // measured
};

// What one tick draws over the background, in window coordinates.
struct ProgressFrame {
    int Width = 0, Height = 0;
    TRect Bar;                  // the bar image's place on the window
    TColor BarFillColor = clAqua;
    TRect Fill;                 // filled part or moving block, bar coordinates
    std::u16string PercentText;  // empty: none
    std::u16string ElapsedText;  // empty: none
    bool ElapsedAtLeft = false;  // at x 20, else right-aligned 20 from the right
    int ElapsedTop = 0;
    int ElapsedInset = 20;
    TRect Button;               // empty when the button does not show
    bool ButtonPressed = false;
    std::u16string ButtonCaption;
    TextFont Font;              // font of the percentage, time and button
    bool operator==(const ProgressFrame&) const = default;
};

// A 32-bit image, rows top to bottom, pixels 0x00RRGGBB.
struct ImageView {
    int Width = 0, Height = 0;
    int BytesPerLine = 0;
    const uint8_t* Bits = nullptr;
};

// The four off-screen images of a viewer: the text block, the background,
// the bar and the window image.
class ViewerCanvas {
public:
    virtual ~ViewerCanvas() = default;
    // Height of a text laid out in a block of the given width.
    virtual int MeasureText(const TextLine& line, int width) = 0;
    // The text block: width x the sum of the heights, filled with the colour,
    // each line in a band of its own height.
    virtual void DrawTextBlock(int width, const std::vector<TextLine>& lines, TColor background) = 0;
    // The background: width x height in the face colour, a one-pixel black
    // frame, the text block (if any) at (10, 2).
    virtual void DrawBackground(int width, int height, TColor face) = 0;
    // The window image: the background with the frame drawn over it.
    virtual void DrawProgress(const ProgressFrame& frame) = 0;
    virtual ImageView WindowImage() const = 0;
};

// What happened to a window since the last look.
enum class WindowMessage { KeyEscape, ButtonClick, Close, Expose };

struct WindowEvent {
    uint64_t Window = 0;
    WindowMessage Message = WindowMessage::Expose;
};

class ViewerWindow {
public:
    virtual ~ViewerWindow() = default;
    virtual uint64_t Handle() const = 0;
    // Moves and sizes the window, keeps it above other windows and shows it.
    virtual void Place(const TRect& bounds) = 0;
    // The place of the cancel button on the window; empty: no button.
    virtual void SetButton(const TRect& button) = 0;
    virtual bool ButtonPressed() const = 0;
    // Copies the image to the window in one step.
    virtual void Paint(const ImageView& image) = 0;
    virtual void Hide() = 0;
    // Takes every waiting event of the window; does not block.
    virtual std::vector<WindowEvent> TakeEvents() = 0;
};

// The screen of one viewer thread (one connection to the display).
class ViewerScreen {
public:
    virtual ~ViewerScreen() = default;
    virtual TRect WorkArea() = 0;
    // No window when it cannot be created.
    virtual std::unique_ptr<ViewerWindow> CreateViewerWindow(const TRect& bounds, const std::string& className,
                                                             const std::string& windowName) = 0;
};

// The platform's viewer service.
class ViewerWindowService {
public:
    virtual ~ViewerWindowService() = default;
    // False when windows of this class cannot be made at all.
    virtual bool RegisterWindowClass(const std::string& className) = 0;
    // Opens the display for the calling thread; none without a display.
    virtual std::unique_ptr<ViewerScreen> OpenScreen() = 0;
    virtual std::unique_ptr<ViewerCanvas> CreateCanvas() = 0;
};

// The service of this platform, and a replacement for tests (nullptr
// restores the platform's).
ViewerWindowService& ViewerServices();
void SetViewerServices(ViewerWindowService* service);

}  // namespace tolvane::viewer
