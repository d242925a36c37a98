#include "common/profile_text.h"

namespace kvt::profile_detail {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void Classify(std::string_view text, Line& line) {
    std::size_t start = line.begin;
    // Editors that save UTF-8 may put a byte order mark before the first line.
    if (start == 0 && text.substr(0, 3) == "\xEF\xBB\xBF" && line.contentEnd >= 3) start = 3;
    const std::string_view content = text.substr(start, line.contentEnd - start);
    const std::string_view trimmed = TrimBlanks(content);
    if (trimmed.empty() || trimmed.front() == ';') return;
    if (trimmed.front() == '[') {
        // A header needs its closing bracket; the last one on the line counts.
        const std::size_t close = trimmed.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::Section;
            line.name = TrimBlanks(trimmed.substr(1, close - 1));
            return;
        }
    }
    const std::size_t eq = content.find('=');
    if (eq == std::string_view::npos) return;
    line.kind = LineKind::Key;
    line.name = TrimBlanks(content.substr(0, eq));
    line.valueBegin = start + eq + 1;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<Line> ScanLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos) {
            line.contentEnd = line.end = text.size();
        } else {
            line.end = lf + 1;
            line.contentEnd = lf > pos && text[lf - 1] == '\r' ? lf - 1 : lf;
        }
        Classify(text, line);
        lines.push_back(line);
        pos = line.end;
    }
    return lines;
}

}  // namespace kvt::profile_detail
