// Figures for drawing and filtering long traces: prints the time to filter a
// day of samples and to draw it into a picture, with every sample and with
// the per-column reduction (which must give the same picture).
//
//   trace_render [samples] [width] [height]

#include "viewer/amplitude_scale.h"
#include "viewer/bandpass_filter.h"
#include "viewer/trace_canvas.h"

#include <QGuiApplication>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Millis(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kvt::viewer;
    const long long samples = argc > 1 ? std::atoll(argv[1]) : 8640000LL;  // a day at 100 samples/s
    const int width = argc > 2 ? std::atoi(argv[2]) : 1600;
    const int height = argc > 3 ? std::atoi(argv[3]) : 900;
    if (samples < 1 || width < 3 || height < 3) {
        std::fprintf(stderr, "usage: trace_render [samples >= 1] [width >= 3] [height >= 3]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::vector<float> data(static_cast<std::size_t>(samples));
    for (std::size_t k = 0; k < data.size(); ++k) {
        const double t = static_cast<double>(k) / 100.0;
        data[k] = static_cast<float>(800.0 * std::sin(t * 0.7) + 300.0 * std::sin(t * 17.0) + (k % 7) * 10.0);
        if (k % 100000 < 50) data[k] = kGapMarker;
    }

    std::vector<float> filtered = data;
    auto t0 = std::chrono::steady_clock::now();
    ApplyBandPass(filtered.data(), filtered.size(), 0.01, 1.0f, 5.0f);
    const double filterMs = Millis(std::chrono::steady_clock::now() - t0);

    AmplitudeScale scale;
    ChooseScale(data.data(), data.size(), 100.0, ParseScaleSetting("AUTO"), scale);
    const QFont font = MakeDisplayFont(QStringLiteral("Courier new"), 14);

    double ms[2] = {0, 0};
    QImage pictures[2];
    for (int reduce = 0; reduce < 2; ++reduce) {
        std::vector<float> copy = data;
        TraceCanvas canvas(width, height, 1, font);
        canvas.DrawFrame();
        canvas.DrawBand(0);
        t0 = std::chrono::steady_clock::now();
        canvas.DrawTrace(copy.data(), copy.size(), 0, samples, 0, scale, reduce != 0);
        ms[reduce] = Millis(std::chrono::steady_clock::now() - t0);
        pictures[reduce] = canvas.TakeImage();
    }

    std::printf("samples                 %lld\n", samples);
    std::printf("picture                 %d x %d\n", width, height);
    std::printf("band-pass filter        %.1f ms (%.1f Msamples/s)\n", filterMs, samples / filterMs / 1000.0);
    std::printf("draw every sample       %.1f ms\n", ms[0]);
    std::printf("draw reduced per column %.1f ms\n", ms[1]);
    std::printf("same picture            %s\n", pictures[0] == pictures[1] ? "yes" : "NO");
    return pictures[0] == pictures[1] ? 0 : 1;
}
