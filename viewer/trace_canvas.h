#pragma once
// The monitor's picture: one off-screen image (RGB32, no antialiasing) with
// the drawing operations the redraw pass calls, in the monitor's colours.
//
// Lines are drawn by our own pixel rasteriser (integer end points, end point
// of a line not drawn, like a device context's LineTo) so that the picture is
// the same on every platform and font engine; only texts go through QPainter.

#include "amplitude_scale.h"
#include "band_geometry.h"
#include "trace_path.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstddef>
#include <span>
#include <vector>

namespace kvt::viewer {

//! Colours of the picture.
namespace colours {
inline const QColor kBackground{255, 255, 255};  //!< whole bitmap, text boxes
inline const QColor kBand{192, 192, 192};        //!< inside of every band
inline const QColor kFrame{0, 0, 0};             //!< band frame, left half of time marks
inline const QColor kHighlight{255, 255, 255};   //!< right half of time marks
inline const QColor kTrace{0, 0, 255};           //!< waveform
inline const QColor kEvent{255, 0, 0};           //!< event marks (2 px)
inline const QColor kStatusText{255, 0, 0};      //!< status texts, lagging label, differing rate
inline const QColor kLabelText{0, 0, 0};         //!< label and rate of a channel on time
inline const QColor kFilterText{0, 200, 0};      //!< filter text
}  // namespace colours

//! The display font: face name and cell height in pixels (the height of a
//! text line, ascent plus descent), not antialiased. Needs a QGuiApplication.
QFont MakeDisplayFont(const QString& face, int cellHeight);

//! The picture of one redraw pass. Not thread-safe; one pass owns it.
class TraceCanvas {
public:
    //! A width x height picture for channels bands, drawn with font.
    //! Sizes below 0 count as 0. The image starts white.
    TraceCanvas(int width, int height, int channels, const QFont& font);

    const BandLayout& layout() const noexcept { return layout_; }
    Band BandOf(int i) const noexcept { return layout_.BandOf(i); }
    const QImage& image() const noexcept { return image_; }
    //! Hands the finished image over (the canvas is empty afterwards).
    QImage TakeImage() noexcept;

    //! Picture frame: whole area white, black line along the last row.
    void DrawFrame();

    //! Frame and silver inside of band i.
    void DrawBand(int i);

    //! A status text in red on a white box, centred in band i.
    void DrawCentredText(int i, const QString& text);

    //! Draws samples[0..count) of band i with the trace pen (blue, 1 px):
    //! sample k at x index firstIndex + k while that index is below
    //! samplesInWindow. Gap markers and non-finite samples lift the pen.
    //! Values outside the scale are clipped to it IN THE ARRAY. With
    //! reducePerColumn, the trace is reduced per pixel column and filled as
    //! vertical runs of pixels (the same pixels, far less work for dense
    //! traces).
    void DrawTrace(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                   int i, const AmplitudeScale& scale, bool reducePerColumn = false);

    //! Draws a path made by BuildTracePath with the trace pen: the picture
    //! DrawTrace gives for the same samples.
    void DrawPath(const std::vector<PathPoint>& path);
    //! Fills runs made by BuildReducedTraceRuns with the trace pen (pixels
    //! outside the image are skipped).
    void DrawRuns(const std::vector<PixelRun>& runs);

    //! Label of band i: " %-5s::%-5s::%s  " in black (red when lagging), the
    //! rate "%.2f " in the same colour or red when the rates differ, and when
    //! filterText is not empty " (%s) " in green.
    void DrawLabel(int i, const QString& name, const QString& ch, const QString& lcode, double rate,
                   const QString& filterText, bool lagging, bool ratesDiffer);

    //! Engraved second and minute marks along the bottom border of band i for
    //! the window [windowStart, windowStart + windowLength) (epoch s, s).
    void DrawTimeMarks(int i, double windowStart, double windowLength);

    //! Red 2-px vertical marks in band i for event times (epoch s) within the
    //! window [windowStart, windowEnd]; times outside it are not drawn.
    void DrawEventMarks(int i, double windowStart, double windowEnd, std::span<const double> times);

    //! Draws text with its top-left corner at (x, y) on an opaque white box
    //! in colour; returns the text's width in pixels.
    int DrawTextAt(int x, int y, const QString& text, const QColor& colour);

    //! Width and height of a text in the display font, pixels.
    QSize MeasureText(const QString& text) const;

private:
    void FillRect(int x, int y, int w, int h, QRgb colour) noexcept;
    void Line(int xa, int ya, int xb, int yb, QRgb colour) noexcept;

    BandLayout layout_;
    QFont font_;
    QImage image_;
};

}  // namespace kvt::viewer
