#include "viewer/snapshot_options.h"

#include <charconv>
#include <string_view>

namespace kvt::viewer {
namespace {

bool ParseSide(std::string_view text, int& out) {
    if (text.empty()) return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size() && out >= 1 &&
           out <= kMaxSnapshotSide;
}

bool ParseSize(std::string_view text, int& width, int& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int w = 0, h = 0;
    if (!ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) return false;
    width = w;
    height = h;
    return true;
}

// Value of an option given as "--name value" or "--name=value"; advances i.
// Returns false when the option is not at args[i]; sets missing when it is
// there without a value.
bool OptionValue(const std::vector<std::string>& args, size_t& i, std::string_view name,
                 std::string& value, bool& missing) {
    std::string_view a = args[i];
    if (a == name) {
        if (i + 1 >= args.size()) {
            missing = true;
            return true;
        }
        value = args[++i];
        return true;
    }
    if (a.size() > name.size() && a.substr(0, name.size()) == name && a[name.size()] == '=') {
        value = std::string(a.substr(name.size() + 1));
        return true;
    }
    return false;
}

}  // namespace

SnapshotOptions ParseSnapshotOptions(const std::vector<std::string>& args) {
    SnapshotOptions o;
    std::string size;
    bool sizeGiven = false;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string value;
        bool missing = false;
        if (OptionValue(args, i, "--snapshot", value, missing)) {
            o.snapshot = true;
            if (missing || value.empty()) {
                o.error = "--snapshot needs the name of the PNG file to write";
                return o;
            }
            o.file = value;
        } else if (OptionValue(args, i, "--size", value, missing)) {
            if (missing) {
                o.error = "--size needs a drawing size such as 1600x900";
                return o;
            }
            size = value;
            sizeGiven = true;
        }
    }
    if (sizeGiven && !ParseSize(size, o.width, o.height))
        o.error = "bad drawing size \"" + size + "\": expected WIDTHxHEIGHT, each 1 to " +
                  std::to_string(kMaxSnapshotSide) + " pixels";
    return o;
}

}  // namespace kvt::viewer
