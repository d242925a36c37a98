// The rendered picture: bands, traces, marks and labels, checked pixel by pixel.
#include "viewer/trace_canvas.h"

#include "viewer/bandpass_filter.h"
#include "viewer/time_marks.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace kvt::viewer {
namespace {

constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kSilver = 0xffc0c0c0;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00c800;

class Canvas : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_trace_canvas";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives until the process ends
        }
    }

    //! The standard picture of these tests: 1202 x 300, four bands, frame drawn.
    TraceCanvas MakeCanvas(int width = 1202, int height = 300, int channels = 4) {
        TraceCanvas c(width, height, channels, MakeDisplayFont(QStringLiteral("Courier new"), 14));
        c.DrawFrame();
        for (int i = 0; i < channels; ++i) c.DrawBand(i);
        return c;
    }

    static QRgb At(const TraceCanvas& c, int x, int y) { return c.image().pixel(x, y); }

    static int CountInRow(const TraceCanvas& c, int y, QRgb colour) {
        int n = 0;
        for (int x = 0; x < c.image().width(); ++x) n += At(c, x, y) == colour;
        return n;
    }

    static int CountInRect(const TraceCanvas& c, int x0, int y0, int x1, int y1, QRgb colour) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += At(c, x, y) == colour;
        return n;
    }
};

TEST_F(Canvas, DisplayFontFitsItsLineHeight) {
    const QFont f = MakeDisplayFont(QStringLiteral("Courier new"), 14);
    const int h = QFontMetrics(f).height();
    EXPECT_LE(h, 14);
    EXPECT_GE(h, 11);
    EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("Liberation Mono"));
}

// H = 300, N = 4: every row of one column from the top of the picture down.
TEST_F(Canvas, BandRowsOfFourChannels) {
    const TraceCanvas c = MakeCanvas();
    EXPECT_EQ(c.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(c.image().size(), QSize(1202, 300));
    std::vector<QRgb> expected(300, kWhite);
    for (int i = 0; i < 4; ++i) {
        const Band b = c.BandOf(i);
        expected[static_cast<std::size_t>(b.topRow)] = kBlack;
        expected[static_cast<std::size_t>(b.bottomRow)] = kBlack;
        for (int y = b.topRow + 1; y < b.bottomRow; ++y) expected[static_cast<std::size_t>(y)] = kSilver;
    }
    expected[299] = kBlack;  // the picture's own bottom line
    EXPECT_EQ(c.BandOf(3).topRow, 3);
    for (int y = 0; y < 300; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(At(c, 600, y), expected[static_cast<std::size_t>(y)]);
    }
}

TEST_F(Canvas, BandSidesAndLineEnds) {
    const TraceCanvas c = MakeCanvas();
    const int y = 260;  // inside band 0
    struct Column {
        int x;
        QRgb colour;
    };
    const Column columns[] = {{0, kBlack}, {1, kBlack}, {2, kSilver}, {1199, kSilver}, {1200, kBlack}, {1201, kBlack}};
    for (const Column& col : columns) {
        SCOPED_TRACE(col.x);
        EXPECT_EQ(At(c, col.x, y), col.colour);
    }
    // A line's end point is not drawn: the bottom line stops short of the last column.
    EXPECT_EQ(At(c, 1200, 299), kBlack);
    EXPECT_EQ(At(c, 1201, 299), kWhite);
    // The top border is completed by the right side line.
    EXPECT_EQ(At(c, 1201, c.BandOf(0).topRow), kBlack);
}

// W = 1202 over 600 s: minute marks only, engraved (black, then white right of it).
TEST_F(Canvas, MinuteMarksWithoutSecondMarks) {
    TraceCanvas c = MakeCanvas();
    const double start = 1700000010.0;
    c.DrawTimeMarks(0, start, 600.0);
    const Band b = c.BandOf(0);
    std::set<int> xs;
    for (const TimeMark& m : TimeMarkPositions(1, 1201, start, 600.0)) xs.insert(m.x);
    ASSERT_EQ(xs.size(), 10u);
    for (int x = 2; x < 1200; ++x) {
        SCOPED_TRACE(x);
        const QRgb expected = xs.count(x) ? kBlack : xs.count(x - 1) ? kWhite : kSilver;
        EXPECT_EQ(At(c, x, b.bottomRow - 1), expected);
        EXPECT_EQ(At(c, x, b.bottomRow - 5), expected);  // six pixels long, from the border row
        EXPECT_EQ(At(c, x, b.bottomRow - 6), kSilver);
    }
}

TEST_F(Canvas, SecondMarksWhenMoreThanTwoPixelsPerSecond) {
    TraceCanvas c = MakeCanvas();
    // 12 pixels per second; second ...979 falls left of the picture,
    // ...980 to ...079 land on columns 7, 19, ... 1195.
    c.DrawTimeMarks(0, 1699999979.5, 100.0);
    const Band b = c.BandOf(0);
    EXPECT_EQ(CountInRow(c, b.bottomRow - 2, kBlack), 4 + 100);  // band sides + one per second
    EXPECT_EQ(CountInRow(c, b.bottomRow - 3, kBlack), 4 + 2);   // only the minutes are longer
    EXPECT_EQ(At(c, 7, b.bottomRow - 5), kBlack);               // ...980 is a whole minute
    EXPECT_EQ(At(c, 8, b.bottomRow - 5), kWhite);
    EXPECT_EQ(At(c, 19, b.bottomRow - 2), kBlack);
    EXPECT_EQ(At(c, 19, b.bottomRow - 3), kSilver);
}

// A fixed scale of 1000;-1000 is 1500/-1500: the value 1000 lies at
// lo + 2500 / 3000 * 73 = 61.8 pixels above the bottom, rounded to 62.
TEST_F(Canvas, ConstantTraceOnItsRow) {
    TraceCanvas c = MakeCanvas();
    std::vector<float> v(1200, 1000.0f);  // one sample per pixel
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 2.0, ParseScaleSetting("1000;-1000"), scale);
    c.DrawTrace(v.data(), v.size(), 0, 1200, 0, scale);
    const int row = 300 - 1 - 62;
    EXPECT_EQ(CountInRow(c, row, kBlue), 1199);  // the last point is a line end
    EXPECT_EQ(At(c, 1, row), kBlue);
    EXPECT_EQ(At(c, 1199, row), kBlue);
    EXPECT_EQ(At(c, 1200, row), kBlack);  // the last point is on the band's side, not drawn
    EXPECT_EQ(CountInRect(c, 0, 0, 1202, 300, kBlue), 1199);
}

TEST_F(Canvas, GapMarkerLeavesABreak) {
    TraceCanvas c = MakeCanvas();
    std::vector<float> v(1200, 0.0f);
    for (int k = 500; k < 510; ++k) v[static_cast<std::size_t>(k)] = kGapMarker;
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 2.0, ParseScaleSetting("AUTO"), scale);
    c.DrawTrace(v.data(), v.size(), 0, 1200, 1, scale);
    const int row = 300 - 1 - static_cast<int>(c.BandOf(1).lo + 36.5 + 0.5);
    for (int x = 1; x <= 1200; ++x) {
        SCOPED_TRACE(x);
        // Samples 0..499 are columns 1..500, 510..1199 are 511..1200; each
        // stroke's last point is a line end.
        const bool drawn = (x <= 499) || (x >= 511 && x <= 1199);
        EXPECT_EQ(At(c, x, row) == kBlue, drawn);
    }
    EXPECT_EQ(v[505], kGapMarker);
}

TEST_F(Canvas, ClippedSamplesLandOnTheBandBorder) {
    TraceCanvas c = MakeCanvas();
    std::vector<float> v(1200);
    for (std::size_t k = 0; k < v.size(); ++k) v[k] = (k / 100) % 2 ? 5e6f : -5e6f;
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 2.0, ParseScaleSetting("1000;-1000"), scale);
    c.DrawTrace(v.data(), v.size(), 0, 1200, 2, scale);
    const Band b = c.BandOf(2);
    EXPECT_EQ(v[0], -1500.0f);
    EXPECT_EQ(v[150], 1500.0f);
    EXPECT_EQ(At(c, 50, b.bottomRow), kBlue);
    EXPECT_EQ(At(c, 150, b.topRow), kBlue);
    EXPECT_EQ(CountInRect(c, 0, 0, 1202, b.topRow, kBlue), 0);
    EXPECT_EQ(CountInRect(c, 0, b.bottomRow + 1, 1202, 300, kBlue), 0);
}

TEST_F(Canvas, ReducedTraceDrawsTheSamePixels) {
    std::vector<float> v(24000);
    for (std::size_t k = 0; k < v.size(); ++k) {
        v[k] = static_cast<float>(std::sin(static_cast<double>(k) * 0.013) * 900.0 +
                                  std::sin(static_cast<double>(k) * 1.7) * 300.0);
        if (k % 997 < 3) v[k] = kGapMarker;
    }
    std::vector<float> w = v;
    AmplitudeScale scale;
    ChooseScale(v.data(), v.size(), 40.0, ParseScaleSetting("AUTO"), scale);
    TraceCanvas full = MakeCanvas();
    TraceCanvas reduced = MakeCanvas();
    full.DrawTrace(v.data(), v.size(), 0, 24000, 1, scale, false);
    reduced.DrawTrace(w.data(), w.size(), 0, 24000, 1, scale, true);
    EXPECT_TRUE(full.image() == reduced.image());
    EXPECT_EQ(v, w);  // both clip the array the same way
}

TEST_F(Canvas, EventMarksAreRedTwoPixelLines) {
    TraceCanvas c = MakeCanvas();
    const double start = 1700000000.0;
    const double end = start + 600.0;
    const std::vector<double> times = {start + 150.0, start + 300.25, start - 10.0, end + 1.0, NAN};
    c.DrawEventMarks(0, start, end, times);
    const Band b = c.BandOf(0);
    const int x1 = EventMarkColumn(times[0], start, end, 1, 1201);
    const int x2 = EventMarkColumn(times[1], start, end, 1, 1201);
    EXPECT_EQ(x1, 301);
    EXPECT_EQ(x2, 601);
    // From H - lo - 3 up to H - hi + 3: two rows above the bottom border, four below the top one.
    for (const int y : {b.topRow + 4, (b.topRow + b.bottomRow) / 2, b.bottomRow - 2}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(CountInRow(c, y, kRed), 4);
        EXPECT_EQ(At(c, x1 - 1, y), kRed);
        EXPECT_EQ(At(c, x1, y), kRed);
        EXPECT_EQ(At(c, x2 - 1, y), kRed);
        EXPECT_EQ(At(c, x2, y), kRed);
    }
    EXPECT_EQ(CountInRow(c, b.topRow + 3, kRed), 0);
    EXPECT_EQ(CountInRow(c, b.bottomRow - 1, kRed), 0);
}

struct LabelCase {
    const char* reason;
    bool lagging;
    bool ratesDiffer;
    QRgb labelColour;
    QRgb rateColour;
};

TEST_F(Canvas, LabelColours) {
    const LabelCase cases[] = {
        {"on time, rates agree", false, false, kBlack, kBlack},
        {"on time, rates differ", false, true, kBlack, kRed},
        {"lagging", true, false, kRed, kRed},
        {"lagging, rates differ", true, true, kRed, kRed},
    };
    for (const LabelCase& lc : cases) {
        SCOPED_TRACE(lc.reason);
        TraceCanvas c = MakeCanvas();
        c.DrawLabel(3, QStringLiteral("ABCD"), QStringLiteral("BHZ"), QStringLiteral("00"), 20.0,
                    QStringLiteral("1,5"), lc.lagging, lc.ratesDiffer);
        const QSize label = c.MeasureText(QStringLiteral(" ABCD ::BHZ  ::00  "));
        const QSize rate = c.MeasureText(QStringLiteral("20.00 "));
        const QSize filter = c.MeasureText(QStringLiteral(" (1,5) "));
        const int y0 = 300 - c.BandOf(3).hi + 1;
        const int y1 = y0 + label.height();
        const int xLabel = 3;
        const int xRate = xLabel + label.width();
        const int xFilter = xRate + rate.width();
        const int xEnd = xFilter + filter.width();
        const QRgb other = lc.labelColour == kBlack ? kRed : kBlack;
        EXPECT_GT(CountInRect(c, xLabel, y0, xRate, y1, lc.labelColour), 20);
        EXPECT_EQ(CountInRect(c, xLabel, y0, xRate, y1, other), 0);
        EXPECT_GT(CountInRect(c, xRate, y0, xFilter, y1, lc.rateColour), 10);
        EXPECT_EQ(CountInRect(c, xRate, y0, xFilter, y1, lc.rateColour == kBlack ? kRed : kBlack), 0);
        EXPECT_GT(CountInRect(c, xFilter, y0, xEnd, y1, kGreen), 10);
        EXPECT_EQ(CountInRect(c, xLabel, y0, xEnd, y1, kSilver), 0);  // texts stand on white boxes
        EXPECT_EQ(CountInRect(c, xEnd, y0, xEnd + 20, y1, kGreen), 0);
    }
}

TEST_F(Canvas, NoFilterTextWithoutFilter) {
    TraceCanvas c = MakeCanvas();
    c.DrawLabel(0, QStringLiteral("ST"), QStringLiteral("Z"), QString(), 100.0, QString(), false, false);
    EXPECT_EQ(CountInRect(c, 0, 0, 1202, 300, kGreen), 0);
}

TEST_F(Canvas, CentredStatusTextIsRedInTheMiddleOfItsBand) {
    TraceCanvas c = MakeCanvas();
    const QString text = QStringLiteral("Отставание данных 01:30:00");
    c.DrawCentredText(2, text);
    const Band b = c.BandOf(2);
    const QSize size = c.MeasureText(text);
    const int x = (1202 - 2 - size.width()) / 2;
    const int y = static_cast<int>(300 - b.hi + (b.hi - b.lo - size.height()) / 2.0 + 1);
    EXPECT_GT(CountInRect(c, x, y, x + size.width(), y + size.height(), kRed), 50);
    EXPECT_EQ(CountInRect(c, x, y, x + size.width(), y + size.height(), kSilver), 0);
    EXPECT_EQ(CountInRect(c, 0, 0, 1202, b.topRow, kRed), 0);
    EXPECT_EQ(CountInRect(c, 0, b.bottomRow, 1202, 300, kRed), 0);
    EXPECT_EQ(CountInRect(c, 0, 0, x, 300, kRed), 0);
    EXPECT_EQ(CountInRect(c, x + size.width(), 0, 1202, 300, kRed), 0);
}

TEST_F(Canvas, TinyAndEmptyPicturesAreSafe) {
    for (const QSize s : {QSize(0, 0), QSize(1, 1), QSize(3, 4), QSize(50, 6)}) {
        SCOPED_TRACE(testing::Message() << s.width() << "x" << s.height());
        TraceCanvas c(s.width(), s.height(), 4, MakeDisplayFont(QStringLiteral("Courier new"), 14));
        c.DrawFrame();
        std::vector<float> v(100, 3.0f);
        AmplitudeScale scale;
        for (int i = 0; i < 4; ++i) {
            c.DrawBand(i);
            c.DrawTrace(v.data(), v.size(), 0, 100, i, scale);
            c.DrawCentredText(i, QStringLiteral("text"));
            c.DrawLabel(i, QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), 1.0, QStringLiteral("1,2"),
                        true, true);
            c.DrawTimeMarks(i, 0.0, 60.0);
            const double t = 30.0;
            c.DrawEventMarks(i, 0.0, 60.0, std::span<const double>(&t, 1));
        }
        EXPECT_EQ(c.image().size(), s);
    }
}

}  // namespace
}  // namespace kvt::viewer
