// Fuzzer of the profile reader and writer: any bytes must parse without a
// fault, and a key written into them must read back exactly while every other
// key keeps its value.

#include "common/profile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const kvt::Profile before = kvt::Profile::FromText(text);
    for (const auto& key : kvt::AllSettingKeys()) {
        (void)before.Text(key, 1);
        (void)before.Int(key, 1);
        (void)before.EditorText(key, 0);
    }
    (void)before.SectionHasKeys("STA0");

    // Edits: the written key reads back, the other keys of the table stay.
    const std::string value = "v=\"x\" ";
    const kvt::ProfileEdit set = kvt::SetProfileString(text, "SYSTEM", "NSEC#", value);
    Check(set.ok());
    const kvt::Profile after = kvt::Profile::FromText(set.text);
    Check(after.Text("SYSTEM", "NSEC#", "", 0) == value);
    for (const auto& key : kvt::AllSettingKeys()) {
        if (key.name == "NSEC#" && key.section == "SYSTEM") continue;
        Check(after.Text(key, 0) == before.Text(key, 0));
    }
    const kvt::ProfileEdit removed = kvt::RemoveProfileSection(text, "STA0");
    Check(removed.ok());
    Check(!kvt::Profile::FromText(removed.text).SectionHasKeys("STA0"));
    Check(kvt::Profile::FromText(removed.text).Text(kvt::keys::FontName) ==
          before.Text(kvt::keys::FontName));
    return 0;
}
