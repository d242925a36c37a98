// One configured channel of the monitor and the text forms of its band-pass filter.
#pragma once

#include <string>
#include <string_view>

namespace kvt::editor {

//! One channel of the monitor's list, as kept in section "STA<i>" of the settings file.
struct ChannelSetting {
  std::string station;        //!< station code (key NAME)
  std::string channel;        //!< channel code (key CH)
  std::string lcode = "??";   //!< location code (key LCODE); "??" means "none"
  double lowHz = 0.0;         //!< low corner of the band-pass filter, Hz; 0 = not set
  double highHz = 0.0;        //!< high corner of the band-pass filter, Hz; 0 = not set

  //! A channel is filtered only when both corners are set.
  bool IsFiltered() const { return lowHz != 0.0 && highHz != 0.0; }

  bool operator==(const ChannelSetting&) const = default;
};

//! Converts the leading number of `text` like the C library's atof (leading blanks skipped,
//! trailing garbage ignored, no number gives 0), independent of the process locale.
double LeadingDouble(std::string_view text);

//! Formats a frequency with two decimals ("%0.2f"), locale-independent.
std::string FormatHz(double hz);

//! FILTER value written to the file: "low,high" with two decimals each when the channel is
//! filtered, else the empty text.
std::string FilterValue(const ChannelSetting& ch);

//! Splits a FILTER text at its first comma into the two corners (atof of each part); a text
//! without a comma gives 0 and 0.
void ParseFilter(std::string_view text, double& lowHz, double& highHz);

}  // namespace kvt::editor
