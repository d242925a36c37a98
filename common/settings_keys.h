#pragma once
// The one table of settings keys of kvtview.ini (and of kvt.ini, which is read
// for the connection keys only). Both programs take section and key names,
// types, defaults and maximum lengths from here; nothing else in the code
// repeats a key name or a default.
//
// Channel keys live in one section per channel, "STA0", "STA1", ...; their
// table entries carry the section pattern "STA%d" and perChannel = true.

#include <span>
#include <string>
#include <string_view>

namespace kvt {

enum class KeyType {
    Text,     //!< string value, cut to the key's maximum length
    Integer,  //!< leading integer of the value; absent or empty gives the default
};

//! One key of the settings file.
//! Defaults are kept as text for both types; an integer key's default is the
//! leading integer of its default text (see LeadingInt in profile.h).
//! A maximum length of 0 means "no limit of its own" (integer keys).
struct SettingKey {
    std::string_view section;        //!< "SYSTEM", "DATABASE", "DATA", "LOG" or the pattern "STA%d"
    std::string_view name;           //!< key name as written, upper case
    KeyType type;                    //!< text or integer
    std::string_view viewerDefault;  //!< default when the viewer reads the key
    std::string_view editorDefault;  //!< default when the editor loads its settings
    //! Connection keys only: the viewer's fallback default when the key is read
    //! from kvt.ini (the processing system's file); empty for other keys.
    std::string_view systemDefault;
    int maxLength;                   //!< longest value the viewer keeps, characters
    int editorMaxLength;             //!< longest value the editor's settings load keeps; 0: the editor never reads the key
    //! Connection keys only: the editor's data source page (its own resolution
    //! order) reads these with an empty default, then falls back to this one.
    std::string_view dataSourceDefault;
    int dataSourceMaxLength;         //!< longest value kept by the data source page
    bool perChannel;                 //!< section is "STA%d" of a channel index
    std::string_view meaning;        //!< one line for the README table
};

namespace keys {

// clang-format off
//                                     section     key          type              viewer          editor      system      max  ed.max ds.default ds.max chan
inline constexpr SettingKey LogLevel     {"LOG",      "LEVEL",     KeyType::Text,    "ERROR",        "",         "",           7,     0, "",        0,    false, "log level: \"debug\" (trace), \"error\" (errors only), anything else (warnings too)"};
inline constexpr SettingKey LogDir       {"LOG",      "DIR",       KeyType::Text,    "D:/LOG",       "d:\\log",  "",        1023,   511, "",        0,    false, "directory of the daily event log files"};
inline constexpr SettingKey FontSize     {"SYSTEM",   "FONT_SIZE", KeyType::Integer, "14",           "",         "",           0,     0, "",        0,    false, "font height of the drawing font, pixels"};
inline constexpr SettingKey FontName     {"SYSTEM",   "FONT_NAME", KeyType::Text,    "Courier new",  "",         "",         127,     0, "",        0,    false, "face name of the drawing font"};
inline constexpr SettingKey Monitor      {"SYSTEM",   "MONITOR",   KeyType::Integer, "1",            "",         "",           0,     0, "",        0,    false, "1-based number of the monitor the window is placed on"};
inline constexpr SettingKey TShift       {"SYSTEM",   "T_SHIFT",   KeyType::Integer, "0",            "",         "",           0,     0, "",        0,    false, "time shift of the window end, seconds"};
inline constexpr SettingKey ChannelCount {"SYSTEM",   "N#",        KeyType::Integer, "0",            "0",        "",           0,     0, "",        0,    false, "number of channels shown: sections STA0 up to STA(N#-1)"};
inline constexpr SettingKey WindowSeconds{"SYSTEM",   "NSEC#",     KeyType::Integer, "1",            "1200",     "",           0,     0, "",        0,    false, "length of the display window, seconds"};
inline constexpr SettingKey Mode         {"SYSTEM",   "MODE",      KeyType::Integer, "0",            "0",        "",           0,     0, "",        0,    false, "window end: 0 = newest data in the catalogue, 1 = UTC now"};
inline constexpr SettingKey Scale        {"SYSTEM",   "SCALE",     KeyType::Text,    "AUTO",         "",         "",          31,     0, "",        0,    false, "amplitude scale of channels without their own SCALE"};
inline constexpr SettingKey Delay        {"SYSTEM",   "DELAY",     KeyType::Text,    "30",           "60",       "",         255,   511, "",        0,    false, "seconds between redraws (leading integer of the text)"};
inline constexpr SettingKey DbOdbc       {"DATABASE", "ODBC",      KeyType::Text,    "",             "kvt",      "KVT",     1023,   511, "KVT",   511,    false, "ODBC data source name"};
inline constexpr SettingKey DbUser       {"DATABASE", "USER",      KeyType::Text,    "",             "kvt",      "KVT",     1023,   511, "KVT",   127,    false, "database user"};
inline constexpr SettingKey DbPassword   {"DATABASE", "PASSWORD",  KeyType::Text,    "",             "qmz",      "QMZ",     1023,   511, "QMZ",   127,    false, "database password (plain text)"};
inline constexpr SettingKey DbUseTend    {"DATABASE", "USE_TEND",  KeyType::Integer, "-1",           "0",        "0",          0,     0, "",        0,    false, "above 0: queries use FILELIST.TEND; negative: ask kvt.ini"};
inline constexpr SettingKey DbUpdTend    {"DATABASE", "UPD_TEND",  KeyType::Integer, "0",            "0",        "",           0,     0, "",        0,    false, "non-zero: recompute FILELIST.TEND at start-up (when TEND is used)"};
inline constexpr SettingKey DataDir      {"DATA",     "DIR",       KeyType::Text,    "",             "d:\\data", "D:\\DATA", 1023,   511, "D:\\Data", 2047,  false, "root directory of the waveform data files"};
inline constexpr SettingKey ChannelName  {"STA%d",    "NAME",      KeyType::Text,    "",             "",         "",           7,   511, "",        0,    true,  "station code of the channel"};
inline constexpr SettingKey ChannelCh    {"STA%d",    "CH",        KeyType::Text,    "",             "",         "",           7,   511, "",        0,    true,  "channel code"};
inline constexpr SettingKey ChannelLcode {"STA%d",    "LCODE",     KeyType::Text,    "??",           "??",       "",           7,   511, "",        0,    true,  "location code; \"??\" = none"};
inline constexpr SettingKey ChannelFilter{"STA%d",    "FILTER",    KeyType::Text,    "",             "",         "",          63,   511, "",        0,    true,  "band-pass corners in Hz \"low,high\"; empty = no filter"};
inline constexpr SettingKey ChannelScale {"STA%d",    "SCALE",     KeyType::Text,    "",             "",         "",          31,     0, "",        0,    true,  "scale of this channel; empty = SYSTEM SCALE"};
// clang-format on

//! Every key, in the order of the README table.
inline constexpr SettingKey kAll[] = {
    LogLevel, LogDir, FontSize, FontName, Monitor, TShift, ChannelCount, WindowSeconds,
    Mode, Scale, Delay, DbOdbc, DbUser, DbPassword, DbUseTend, DbUpdTend, DataDir,
    ChannelName, ChannelCh, ChannelLcode, ChannelFilter, ChannelScale,
};

//! Default with which the scan of latest data times reads NAME and CH: a
//! channel whose NAME or CH comes back as this text is left out of the scan.
inline constexpr std::string_view kScanAbsentCode = "n_f";

//! Most channel sections the editor looks at (STA0 ... STA255).
inline constexpr int kMaxEditorChannels = 256;

}  // namespace keys

//! All keys of the table (for listings such as the README table).
inline constexpr std::span<const SettingKey> AllSettingKeys() { return keys::kAll; }

//! Section name of channel i: "STA<i>" (the first channel is STA0).
std::string ChannelSection(int i);

//! Section of a key: its own section, or ChannelSection(channel) for channel keys.
std::string SectionOf(const SettingKey& key, int channel = 0);

//! File name of the settings file, "kvtview.ini".
inline constexpr std::string_view kSettingsFileName = "kvtview.ini";
//! File name of the processing system's settings file, "kvt.ini".
inline constexpr std::string_view kSystemFileName = "kvt.ini";

}  // namespace kvt
