// SQL texts and list rules of the channel dialog, which offers only what SITECHAN lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::editor {

//! Table and column names of SITECHAN as the database spells them.
struct SitechanNames {
  std::string table = "SITECHAN";  //!< the table
  std::string sta = "STA";         //!< station code column
  std::string chan = "CHAN";       //!< channel code column
  std::string lcode = "LCODE";     //!< location code column
};

//! Shown for a location code that the database holds as NULL.
inline constexpr const char* kNullLcodeText = "??";

//! Every station of SITECHAN.
std::string StationQuery(const SitechanNames& n);
//! Values are pasted between single quotes with every quote doubled.

//! Channels of `station`, in descending order of the channel code.
std::string ChannelQuery(const SitechanNames& n, std::string_view station);
//! Location codes of `station` / `channel`.
std::string LcodeQuery(const SitechanNames& n, std::string_view station, std::string_view channel);

//! Index of the entry to select for the wanted code: the first entry that begins with `wanted`
//! (without regard to ASCII case), searching from the second entry on and wrapping round to the
//! first. -1 when no entry matches.
int MatchEntry(const std::vector<std::string>& entries, std::string_view wanted);

}  // namespace kvt::editor
