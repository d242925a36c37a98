#pragma once
// Reading and writing of profile (INI) files such as kvtview.ini and kvt.ini.
//
// Reading semantics (both programs rely on them):
//  - a line "[NAME]" opens a section, a line "key=value" gives a value, every
//    other line is ignored; lines starting with ';' are comments;
//  - section and key names compare without regard to (ASCII) case, with the
//    blanks around them removed;
//  - a text value is the text after the first '=', blanks (space, tab) around
//    it removed, one pair of enclosing quotes ("..." or '...') removed, then cut
//    to the caller's maximum length; an absent key gives the default, a key
//    present with an empty value gives the empty string;
//  - an integer value: absent or empty gives the default, otherwise the
//    leading integer (optional sign), 0 when there are no leading digits;
//  - a missing or unreadable file reads like an empty one;
//  - duplicates: the first section of a name and the first key of a name in
//    it win; later ones are ignored;
//  - a value is taken up to its first NUL byte; lines end at LF (a CR before
//    it is dropped); the last line needs no line end.
//
// Writing changes only the named key (or removes only the named section) and
// leaves every other byte of the file as it was. Files are replaced
// atomically: a failed write leaves the old file intact.

#include "common/settings_keys.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvt {

//! Leading integer of text (blanks before it skipped, optional sign). Empty
//! text gives dflt; text without leading digits gives 0. Values beyond the
//! range of int are clamped.
int LeadingInt(std::string_view text, int dflt);

//! A parsed snapshot of one profile file. Cheap to query; holds no file open.
class Profile {
public:
    Profile() = default;

    //! Reads the file at path. A missing or unreadable file (or an empty path)
    //! gives an empty profile: every key reads as its default.
    static Profile Load(const std::string& path);
    //! Parses the bytes of a profile file.
    static Profile FromText(std::string_view bytes);

    //! Key from the table with the viewer's default and maximum length.
    //! channel: the channel index for channel keys (ignored for others).
    std::string Text(const SettingKey& key, int channel = 0) const;
    int Int(const SettingKey& key, int channel = 0) const;
    //! The same with the editor's default and maximum length.
    std::string EditorText(const SettingKey& key, int channel = 0) const;
    int EditorInt(const SettingKey& key, int channel = 0) const;

    //! Text value of section/key, dflt when absent, cut to maxLen characters
    //! (maxLen <= 0: no cut). The default is returned as given (not cut).
    std::string Text(std::string_view section, std::string_view key, std::string_view dflt,
                     int maxLen) const;
    //! Integer value of section/key; dflt when absent or empty.
    int Int(std::string_view section, std::string_view key, int dflt) const;
    //! True when the key is present in the section (even with an empty value).
    bool Has(std::string_view section, std::string_view key) const;
    //! True when the section exists and holds at least one key.
    bool SectionHasKeys(std::string_view section) const;

private:
    struct Entry {
        std::string key;    // as written, blanks removed
        std::string value;  // blanks and one pair of quotes removed, up to a NUL
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section* FindSection(std::string_view name) const;
    const Entry* Find(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;
};

//! Why a profile write failed.
enum class ProfileError {
    None,         //!< success
    BadName,      //!< section or key name empty or holding characters a file cannot keep
    BadValue,     //!< value holds a line break or NUL byte
    ReadFailed,   //!< the existing file could not be read (left untouched)
    WriteFailed,  //!< the new file could not be written (old file intact)
};

//! Result of a profile write: error kind and a message for the user.
struct ProfileResult {
    ProfileError error = ProfileError::None;
    std::string message;  //!< empty on success; names the file and the system's reason
    bool ok() const { return error == ProfileError::None; }
};

//! Text result of a pure edit: the new file bytes, or an error (text unchanged).
struct ProfileEdit {
    ProfileError error = ProfileError::None;
    std::string message;
    std::string text;  //!< the whole new file
    bool ok() const { return error == ProfileError::None; }
};

//! Sets section/key to value in the file bytes: replaces the value of the
//! first such key of the first such section, or adds the key at the end of
//! that section, or adds the section with the key at the end of the file.
//! Every other byte stays. Values with blanks at either end or with enclosing
//! quotes are written in quotes so that they read back exactly.
ProfileEdit SetProfileString(std::string_view text, std::string_view section,
                             std::string_view key, std::string_view value);
//! Removes every section of that name (header and all lines up to the next
//! section) from the file bytes. A missing section is no error.
ProfileEdit RemoveProfileSection(std::string_view text, std::string_view section);

//! Reads the whole settings file at path into bytes. A missing file gives
//! empty bytes with found false; any other failure a ReadFailed result.
ProfileResult ReadProfileFile(const std::string& path, std::string& bytes, bool& found);
//! Replaces the file at path (or the file a symbolic link there points to)
//! with bytes in one step: a temporary file beside it is written, flushed and
//! renamed over it, keeping the old file's permissions (0644 for a new file).
//! On failure the old file is intact and the temporary file removed.
ProfileResult ReplaceProfileFile(const std::string& path, const std::string& bytes);

//! Writes section/key = value into the file at path (created when missing),
//! replacing the file atomically (temporary file beside it, fsync, rename).
ProfileResult WriteProfileString(const std::string& path, std::string_view section,
                                 std::string_view key, std::string_view value);
//! Integer form: the value written as "%d".
ProfileResult WriteProfileInt(const std::string& path, std::string_view section,
                              std::string_view key, int value);
//! Deletes a whole section from the file at path, atomically. A missing file
//! or section is no error (nothing is written).
ProfileResult DeleteProfileSection(const std::string& path, std::string_view section);

}  // namespace kvt
