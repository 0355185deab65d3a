// The viewer's off-screen images, drawn with QPainter on QImage in the
// viewer's thread. QFont needs a QGuiApplication for its font database;
// when the host has none, one is made on the "offscreen" platform (no
// windows, no display), kept for the life of the process.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <mutex>

#include "support/viewer/ViewerBackend.h"

namespace tolvane::viewer {

namespace {

void EnsureGuiApplication() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (QCoreApplication::instance()) return;
        static int argc = 3;
        static char arg0[] = "tolvane-viewer", arg1[] = "-platform", arg2[] = "offscreen";
        static char* argv[] = {arg0, arg1, arg2, nullptr};
        new QGuiApplication(argc, argv);  // lives as long as the process
    });
    // The system's default face is a Windows font; the Cyrillic face of the
    // installed font package stands in for it.
    static std::once_flag substitutes;
    std::call_once(substitutes, [] { QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")); });
}

QString ToQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

QColor ToQColor(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

QFont ToQFont(const TextFont& f) {
    QFont font(ToQString(f.Name));
    // Points at 96 dots per inch, as the platform's screen has them.
    font.setPixelSize(std::max(1, int(std::lround(f.Size * 96.0 / 72.0))));
    font.setBold(f.Style & fsBold);
    font.setItalic(f.Style & fsItalic);
    font.setUnderline(f.Style & fsUnderline);
    font.setStrikeOut(f.Style & fsStrikeOut);
    return font;
}

int TextFlags(const TextLine& line) {
    int flags = Qt::AlignTop;
    switch (line.Alignment) {
        case taRightJustify: flags |= Qt::AlignRight; break;
        case taCenter: flags |= Qt::AlignHCenter; break;
        default: flags |= Qt::AlignLeft; break;
    }
    if (line.WordWrap) flags |= Qt::TextWordWrap;
    return flags;
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

// A push button in the face colour with a raised (or, pressed, sunken) edge.
void DrawButton(QPainter& p, const QRect& r, bool pressed, const QString& caption, const QFont& font) {
    p.fillRect(r, ToQColor(clBtnFace));
    const QColor light(255, 255, 255), shadow(160, 160, 160), dark(64, 64, 64);
    const int x1 = r.left(), y1 = r.top(), x2 = r.right(), y2 = r.bottom();
    p.setPen(pressed ? dark : light);
    p.drawLine(x1, y1, x2 - 1, y1);
    p.drawLine(x1, y1, x1, y2 - 1);
    p.setPen(pressed ? light : dark);
    p.drawLine(x1, y2, x2, y2);
    p.drawLine(x2, y1, x2, y2);
    p.setPen(shadow);
    if (!pressed) {
        p.drawLine(x1 + 1, y2 - 1, x2 - 1, y2 - 1);
        p.drawLine(x2 - 1, y1 + 1, x2 - 1, y2 - 1);
    }
    p.setFont(font);
    p.setPen(ToQColor(clBlack));
    p.drawText(r.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, caption);
}

class QtCanvas final : public ViewerCanvas {
public:
    QtCanvas() { EnsureGuiApplication(); }

    int MeasureText(const TextLine& line, int width) override {
        const QFontMetrics metrics(ToQFont(line.Font));
        return metrics.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20), TextFlags(line), ToQString(line.Text))
            .height();
    }

    void DrawTextBlock(int width, const std::vector<TextLine>& lines, TColor background) override {
        int total = 0;
        for (const TextLine& line : lines) total += line.Height;
        textBlock_ = QImage();
        if (width <= 0 || total <= 0) return;
        textBlock_ = QImage(width, total, QImage::Format_RGB32);
        textBlock_.fill(ToQColor(background));
        QPainter p(&textBlock_);
        int top = 0;
        for (const TextLine& line : lines) {
            p.setFont(ToQFont(line.Font));
            p.setPen(ToQColor(line.Font.Color));
            p.drawText(QRect(0, top, width, line.Height), TextFlags(line), ToQString(line.Text));
            top += line.Height;
        }
    }

    void DrawBackground(int width, int height, TColor face) override {
        background_ = QImage(width, height, QImage::Format_RGB32);
        background_.fill(ToQColor(face));
        QPainter p(&background_);
        p.setPen(ToQColor(clBlack));
        p.drawRect(0, 0, width - 1, height - 1);
        if (!textBlock_.isNull()) p.drawImage(10, 2, textBlock_);
    }

    void DrawProgress(const ProgressFrame& frame) override {
        window_ = background_.size() == QSize(frame.Width, frame.Height)
                      ? background_.copy()
                      : QImage(frame.Width, frame.Height, QImage::Format_RGB32);
        const QFont regular = ToQFont(frame.Font);
        QFont bold = regular;
        bold.setBold(true);

        const QRect barRect = ToQRect(frame.Bar);
        bar_ = QImage(barRect.size(), QImage::Format_RGB32);
        bar_.fill(ToQColor(clWhite));
        {
            QPainter p(&bar_);
            p.setPen(ToQColor(clBlack));
            p.drawRect(0, 0, bar_.width() - 1, bar_.height() - 1);
            // The moving block enters from the left: keep it inside the frame.
            const QRect inside(1, 1, bar_.width() - 2, bar_.height() - 2);
            p.fillRect(ToQRect(frame.Fill).intersected(inside), ToQColor(frame.BarFillColor));
            if (!frame.PercentText.empty()) {
                p.setFont(bold);
                p.drawText(QRect(0, 4, bar_.width(), bar_.height() - 4), Qt::AlignHCenter | Qt::AlignTop,
                           ToQString(frame.PercentText));
            }
        }
        QPainter p(&window_);
        if (!frame.ElapsedText.empty()) {
            p.setFont(regular);
            p.setPen(ToQColor(clBlack));
            const QRect band = frame.ElapsedAtLeft
                                   ? QRect(frame.ElapsedInset, frame.ElapsedTop, frame.Width, frame.Height)
                                   : QRect(0, frame.ElapsedTop, frame.Width - frame.ElapsedInset, frame.Height);
            p.drawText(band, (frame.ElapsedAtLeft ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop,
                       ToQString(frame.ElapsedText));
        }
        if (frame.Button.Width() > 0)
            DrawButton(p, ToQRect(frame.Button), frame.ButtonPressed, ToQString(frame.ButtonCaption), regular);
        p.drawImage(barRect.topLeft(), bar_);
    }

    ImageView WindowImage() const override {
        if (window_.isNull()) return {};
        return {window_.width(), window_.height(), int(window_.bytesPerLine()), window_.constBits()};
    }

private:
    QImage textBlock_, background_, bar_, window_;
};

}  // namespace

std::unique_ptr<ViewerCanvas> CreateQtCanvas() { return std::make_unique<QtCanvas>(); }

}  // namespace tolvane::viewer
