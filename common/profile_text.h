#pragma once
// Line scanner shared by the profile reader and writer: splits file bytes into
// lines and classifies each as section header, key line or other.

#include <cstddef>
#include <string_view>
#include <vector>

namespace kvt::profile_detail {

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0;       //!< offset of the first byte of the line
    std::size_t contentEnd = 0;  //!< offset just past the content (before CR LF / LF)
    std::size_t end = 0;         //!< offset just past the line end (== contentEnd without one)
    LineKind kind = LineKind::Other;
    std::string_view name;       //!< section name or key name, blanks removed
    std::size_t valueBegin = 0;  //!< Key lines: offset just past the '='
};

//! Every line of text in order; the last line may lack a line end.
std::vector<Line> ScanLines(std::string_view text);

//! Blanks around text removed (space, tab, CR, VT, FF).
std::string_view TrimBlanks(std::string_view text);

//! ASCII comparison without regard to case.
bool EqualNoCase(std::string_view a, std::string_view b);

}  // namespace kvt::profile_detail
