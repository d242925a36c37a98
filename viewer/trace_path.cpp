#include "trace_path.h"

namespace kvt::viewer {

std::vector<PathPoint> BuildTracePath(float* samples, std::size_t count, long long firstIndex,
                                      long long samplesInWindow, const BandLayout& layout, const Band& b,
                                      const AmplitudeScale& scale) {
    std::vector<PathPoint> path;
    ForEachTracePoint(samples, count, firstIndex, samplesInWindow, layout, b, scale,
                      [&](const PathPoint& p) { path.push_back(p); });
    return path;
}

std::vector<PathPoint> BuildDrawnTracePath(float* samples, std::size_t count, long long firstIndex,
                                           long long samplesInWindow, const BandLayout& layout, const Band& b,
                                           const AmplitudeScale& scale, bool reduce) {
    if (!reduce) return BuildTracePath(samples, count, firstIndex, samplesInWindow, layout, b, scale);
    std::vector<PathPoint> path;
    ForEachReducedTracePoint(samples, count, firstIndex, samplesInWindow, layout, b, scale,
                             [&](const PathPoint& p) { path.push_back(p); });
    return path;
}

std::vector<PixelRun> BuildReducedTraceRuns(float* samples, std::size_t count, long long firstIndex,
                                            long long samplesInWindow, const BandLayout& layout, const Band& b,
                                            const AmplitudeScale& scale) {
    std::vector<PixelRun> runs;
    RunCollector collect(runs);
    PathRasteriser<RunCollector&> raster(collect);
    ForEachReducedTracePoint(samples, count, firstIndex, samplesInWindow, layout, b, scale,
                             [&](const PathPoint& p) { raster.Add(p); });
    return runs;
}

}  // namespace kvt::viewer
