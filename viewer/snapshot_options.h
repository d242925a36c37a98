#pragma once
// The viewer's own program options (besides the connection arguments, which
// ConnectionSettings reads): "--snapshot FILE.png" renders one picture into a
// PNG file instead of opening the window; "--size WIDTHxHEIGHT" sets its
// drawing size. Every other argument is left alone. Pure.

#include <string>
#include <vector>

namespace kvt::viewer {

struct SnapshotOptions {
    bool snapshot = false;   //!< --snapshot was given
    std::string file;        //!< PNG file to write
    int width = 1600;        //!< drawing width, pixels
    int height = 900;        //!< drawing height, pixels
    std::string error;       //!< non-empty: the options are unusable (message for the user)
};

//! Largest accepted drawing width or height, pixels.
inline constexpr int kMaxSnapshotSide = 16384;

//! Reads the options from args (args[0] is the program path). "--snapshot=F"
//! and "--size=WxH" are accepted as well.
SnapshotOptions ParseSnapshotOptions(const std::vector<std::string>& args);

}  // namespace kvt::viewer
