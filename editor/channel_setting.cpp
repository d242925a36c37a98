#include "editor/channel_setting.h"

#include <array>
#include <charconv>
#include <cmath>

namespace kvt::editor {

double LeadingDouble(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                             text[i] == '\r' || text[i] == '\f' || text[i] == '\v'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars accepts no sign of its own after ours, which atof would not either.
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) return 0.0;
  double value = 0.0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ptr == first) return 0.0;
  if (ec == std::errc::result_out_of_range) {
    // atof gives HUGE_VAL for overflow and a value near 0 for underflow; 0 is good enough here
    // because a frequency that small means "not set" anyway.
    value = std::abs(value) > 1.0 ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

std::string FormatHz(double hz) {
  std::array<char, 512> buf{};
  auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), hz,
                                 std::chars_format::fixed, 2);
  if (ec != std::errc()) return "0.00";
  return std::string(buf.data(), ptr);
}

std::string FilterValue(const ChannelSetting& ch) {
  if (!ch.IsFiltered()) return {};
  return FormatHz(ch.lowHz) + "," + FormatHz(ch.highHz);
}

void ParseFilter(std::string_view text, double& lowHz, double& highHz) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) {
    lowHz = 0.0;
    highHz = 0.0;
    return;
  }
  lowHz = LeadingDouble(text.substr(0, comma));
  highHz = LeadingDouble(text.substr(comma + 1));
}

}  // namespace kvt::editor
