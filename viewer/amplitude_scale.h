#pragma once
// The amplitude range a channel's trace is drawn with: automatic from the
// data or fixed from the SCALE setting, then widened so that the data fill
// the middle two thirds of the band.

#include <cstddef>
#include <string>
#include <string_view>

namespace kvt::viewer {

//! The range in use for one channel. Starts at 1 / -1, not seen, for every
//! channel; in piecewise drawing it carries over from segment to segment.
struct AmplitudeScale {
    float top = 1.0f;     //!< amplitude drawn on the band's top border
    float bottom = -1.0f; //!< amplitude drawn on the band's bottom border
    bool seen = false;    //!< an automatic range has found a value
};

//! The channel's scale setting, parsed once per channel.
struct ScaleSetting {
    bool automatic = true;  //!< the text starts with "AUTO"
    float top = 15000.0f;   //!< fixed range, number before the last ';'
    float bottom = -15000.0f; //!< fixed range, number after the last ';'
};

//! Longest scale text kept (the settings buffer holds 31 characters).
inline constexpr std::size_t kMaxScaleText = 31;

//! The scale text of a channel: its own SCALE value, or when that is empty
//! the system-wide value; cut to 31 characters and turned to upper case.
std::string ScaleTextFor(std::string_view channelScale, std::string_view systemScale);

//! Parses a scale text. "AUTO..." is automatic. Otherwise the text is split at
//! its last ';': top is the number before, bottom the number after, each read
//! like atof in the C locale (a non-number, or a value that is not finite,
//! reads as 0; values beyond the float range are held at its limits). A text
//! without ';' gives 15000 / -15000.
ScaleSetting ParseScaleSetting(std::string_view scaleText);

//! Chooses the range for samples[0..count) at rate samples/s and updates
//! scale in place. Automatic: over positions K..count-K-1 with K = integer part
//! of count / rate (K = 0 for a rate that is not positive), skipping gap
//! markers and non-finite samples, the first value found (while not seen) sets
//! top and bottom, later ones widen them; nothing found keeps the previous
//! range. Fixed: the setting's numbers. Then equal ends are moved apart by 1,
//! reversed ends exchanged, and the range widened by half on each side.
void ChooseScale(const float* samples, std::size_t count, double rate, const ScaleSetting& setting,
                 AmplitudeScale& scale) noexcept;

}  // namespace kvt::viewer
