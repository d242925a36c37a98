#include "trace_canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "time_marks.h"
#include "trace_path.h"

namespace kvt::viewer {
namespace {

// Sets one pixel of a trace to the trace colour; pixels outside the image
// are skipped. The image's rows are fetched once: scanLine() checks for a
// shared copy on every call, which would cost more than plotting the pixel.
// (A null image has no pixels; nothing is written then.)
class TracePlot {
public:
    explicit TracePlot(QImage& image)
        : w_(image.width()), h_(image.height()), colour_(colours::kTrace.rgb()), bits_(image.bits()),
          stride_(image.bytesPerLine()) {}
    void operator()(int x, int y) const {
        if (x >= 0 && y >= 0 && x < w_ && y < h_) reinterpret_cast<QRgb*>(bits_ + y * stride_)[x] = colour_;
    }

private:
    int w_, h_;
    QRgb colour_;
    uchar* bits_;
    qsizetype stride_;
};

}  // namespace

QFont MakeDisplayFont(const QString& face, int cellHeight) {
    QFont font(face);
    font.setStyleStrategy(QFont::NoAntialias);
    const int wanted = std::max(1, cellHeight);
    // The height asked for is the height of a text line, as a device context
    // takes a positive font height; Qt's pixel size is the em size, which is
    // smaller than the line for most faces. Shrink until the line fits.
    font.setPixelSize(wanted);
    const int line = QFontMetrics(font).height();
    if (line > wanted) {
        int size = std::max(1, static_cast<int>(std::lround(static_cast<double>(wanted) * wanted / line)));
        font.setPixelSize(size);
        while (size > 1 && QFontMetrics(font).height() > wanted) font.setPixelSize(--size);
    }
    return font;
}

TraceCanvas::TraceCanvas(int width, int height, int channels, const QFont& font)
    : layout_(BandLayout::Make(std::max(0, width), std::max(0, height), channels)),
      font_(font),
      image_(std::max(0, width), std::max(0, height), QImage::Format_RGB32) {
    font_.setStyleStrategy(QFont::NoAntialias);
    image_.fill(colours::kBackground);
}

QImage TraceCanvas::TakeImage() noexcept { return std::move(image_); }

void TraceCanvas::FillRect(int x, int y, int w, int h, QRgb colour) noexcept {
    const int xa = std::max(0, x);
    const int ya = std::max(0, y);
    const int xb = std::min(image_.width(), x + w);
    const int yb = std::min(image_.height(), y + h);
    for (int row = ya; row < yb; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image_.scanLine(row));
        std::fill(line + xa, line + std::max(xa, xb), colour);
    }
}

void TraceCanvas::Line(int xa, int ya, int xb, int yb, QRgb colour) noexcept {
    const int w = image_.width();
    const int h = image_.height();
    RasteriseLine(xa, ya, xb, yb, [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h) reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = colour;
    });
}

void TraceCanvas::DrawFrame() {
    image_.fill(colours::kBackground);
    const int h = layout_.height;
    Line(0, h - 1, layout_.width - 1, h - 1, colours::kFrame.rgb());
}

void TraceCanvas::DrawBand(int i) {
    const Band b = layout_.BandOf(i);
    const int w = layout_.width;
    const int h = layout_.height;
    const QRgb frame = colours::kFrame.rgb();
    Line(0, b.topRow, w - 1, b.topRow, frame);
    Line(0, b.topRow, 0, h - b.lo, frame);
    Line(w - 1, b.topRow, w - 1, h - b.lo, frame);
    // A rectangle from (1, top) to (W - 1, H - lo): outline with the frame pen
    // on its inner edge (right and bottom coordinates excluded), band fill inside.
    const int left = 1;
    const int right = w - 1;
    const int top = b.topRow;
    const int bottom = h - b.lo;
    if (right - left < 1 || bottom - top < 1) return;
    FillRect(left, top, right - left, bottom - top, frame);
    FillRect(left + 1, top + 1, right - left - 2, bottom - top - 2, colours::kBand.rgb());
}

QSize TraceCanvas::MeasureText(const QString& text) const {
    const QFontMetrics fm(font_, &image_);
    return {fm.horizontalAdvance(text), fm.height()};
}

int TraceCanvas::DrawTextAt(int x, int y, const QString& text, const QColor& colour) {
    const QFontMetrics fm(font_, &image_);
    const int w = fm.horizontalAdvance(text);
    if (image_.isNull() || text.isEmpty()) return w;
    // Texts stand on an opaque white box the size of their line.
    FillRect(x, y, w, fm.height(), colours::kBackground.rgb());
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font_);
    painter.setPen(colour);
    painter.drawText(x, y + fm.ascent(), text);
    return w;
}

void TraceCanvas::DrawCentredText(int i, const QString& text) {
    const Band b = layout_.BandOf(i);
    const QSize size = MeasureText(text);
    const int h = layout_.height;
    const int y = static_cast<int>(h - b.hi + (b.hi - b.lo - size.height()) / 2.0 + 1);
    const int x = (layout_.width - 2 - size.width()) / 2;
    DrawTextAt(x, y, text, colours::kStatusText);
}

void TraceCanvas::DrawTrace(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                            int i, const AmplitudeScale& scale, bool reducePerColumn) {
    const Band b = layout_.BandOf(i);
    if (reducePerColumn) {
        DrawRuns(BuildReducedTraceRuns(samples, count, firstIndex, samplesInWindow, layout_, b, scale));
        return;
    }
    TracePlot plot(image_);
    PathRasteriser<TracePlot&> raster(plot);
    ForEachTracePoint(samples, count, firstIndex, samplesInWindow, layout_, b, scale,
                      [&](const PathPoint& p) { raster.Add(p); });
}

void TraceCanvas::DrawRuns(const std::vector<PixelRun>& runs) {
    const int w = image_.width();
    const int h = image_.height();
    const QRgb colour = colours::kTrace.rgb();
    uchar* const bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (const PixelRun& r : runs) {
        if (r.x < 0 || r.x >= w) continue;
        const int y0 = std::max(r.y0, 0);
        const int y1 = std::min(r.y1, h - 1);
        uchar* at = bits + static_cast<qsizetype>(y0) * stride + static_cast<qsizetype>(r.x) * 4;
        for (int y = y0; y <= y1; ++y, at += stride) *reinterpret_cast<QRgb*>(at) = colour;
    }
}

void TraceCanvas::DrawPath(const std::vector<PathPoint>& path) {
    TracePlot plot(image_);
    RasterisePath(path, plot);
}

void TraceCanvas::DrawLabel(int i, const QString& name, const QString& ch, const QString& lcode, double rate,
                            const QString& filterText, bool lagging, bool ratesDiffer) {
    const Band b = layout_.BandOf(i);
    const int y = layout_.height - b.hi + 1;
    const QColor& labelColour = lagging ? colours::kStatusText : colours::kLabelText;
    const QString label =
        QStringLiteral(" ") + name.leftJustified(5) + QStringLiteral("::") + ch.leftJustified(5) +
        QStringLiteral("::") + lcode + QStringLiteral("  ");
    int x = 3;
    x += DrawTextAt(x, y, label, labelColour);
    const QString rateText = QString::asprintf("%.2f ", rate);  // C locale, whatever the process locale
    x += DrawTextAt(x, y, rateText, ratesDiffer ? colours::kStatusText : labelColour);
    if (!filterText.isEmpty()) {
        DrawTextAt(x, y, QStringLiteral(" (") + filterText + QStringLiteral(") "), colours::kFilterText);
    }
}

void TraceCanvas::DrawTimeMarks(int i, double windowStart, double windowLength) {
    const Band b = layout_.BandOf(i);
    const int row = b.bottomRow;
    for (const TimeMark& m : TimeMarkPositions(layout_.x0, layout_.x1, windowStart, windowLength)) {
        Line(m.x, row, m.x, row - m.length, colours::kFrame.rgb());
        Line(m.x + 1, row, m.x + 1, row - m.length, colours::kHighlight.rgb());
    }
}

void TraceCanvas::DrawEventMarks(int i, double windowStart, double windowEnd, std::span<const double> times) {
    const Band b = layout_.BandOf(i);
    const int h = layout_.height;
    const int yLow = h - b.lo - 3;   // near the bottom border
    const int yHigh = h - b.hi + 3;  // near the top border
    if (yLow < yHigh) return;        // band too low for a mark
    for (const double t : times) {
        if (!std::isfinite(t) || t < windowStart || t > windowEnd) continue;
        const int x = EventMarkColumn(t, windowStart, windowEnd, layout_.x0, layout_.x1);
        // A 2-pixel pen centred on column x covers x - 1 and x.
        FillRect(x - 1, yHigh, 2, yLow - yHigh + 1, colours::kEvent.rgb());
    }
}

}  // namespace kvt::viewer
