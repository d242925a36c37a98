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

std::vector<PixelRun> BuildReducedTraceRuns(float* samples, std::size_t count, long long firstIndex,
                                            long long samplesInWindow, const BandLayout& layout, const Band& b,
                                            const AmplitudeScale& scale) {
    std::vector<PixelRun> runs;
    RunCollector collect(runs);
    PathPoint prev;
    bool have = false;
    ForEachReducedTracePoint(samples, count, firstIndex, samplesInWindow, layout, b, scale,
                             [&](const PathPoint& p) {
                                 if (have && !p.move) {
                                     // Most lines of a reduced trace run down one column:
                                     // their pixels (end point excluded) are one run.
                                     if (p.x == prev.x && p.y != prev.y)
                                         collect.Column(p.x, prev.y, p.y > prev.y ? p.y - 1 : p.y + 1);
                                     else
                                         RasteriseLine(prev.x, prev.y, p.x, p.y, collect);
                                 }
                                 prev = p;
                                 have = true;
                             });
    return runs;
}

}  // namespace kvt::viewer
