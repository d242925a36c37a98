#include "network.h"

#include <cmath>
#include <cstdio>

namespace kvt::sim {

std::string BandCode(double rate) {
    if (rate < 40) return "BH";
    if (rate < 100) return "SH";
    return "HH";
}

double DistanceKm(const NetworkStation& s, double eastKm, double northKm) {
    return std::hypot(s.eastKm - eastKm, s.northKm - northKm);
}

namespace {

struct Named {
    const char* code;
    double east, north;  // km
    double rate;
    const char* lcode;
    ChannelRole role;  // applied to every component unless noted below
};

// The demo network; the order and codes are those the demo's kvtview.ini shows.
constexpr Named kNamed[] = {
    {"ARU", -120, 80, 20, "", ChannelRole::Normal},
    {"OBN", -40, 30, 20, "", ChannelRole::Normal},
    {"KIV", 60, -20, 20, "00", ChannelRole::Normal},
    {"TLY", 140, 110, 40, "", ChannelRole::Normal},
    {"MOS", -10, -90, 100, "", ChannelRole::Normal},
    {"BRVK", 180, -60, 20, "", ChannelRole::Lagging},
    {"ZAK", -160, -40, 20, "", ChannelRole::Stopped},
    {"ELT", 30, 150, 20, "", ChannelRole::RateMismatch},
    {"NRIL", -80, 170, 20, "", ChannelRole::NeverRecorded},
    {"YAK", 100, 40, 20, "", ChannelRole::NotDescribed},
    {"SEY", -130, 140, 40, "01", ChannelRole::Normal},
    {"MAG", 170, 160, 100, "00", ChannelRole::Normal},
};

NetworkChannel MakeChannel(const NetworkStation& st, char comp, double rate, const std::string& lcode,
                       ChannelRole role) {
    NetworkChannel c;
    c.station = st.code;
    c.channel = BandCode(rate) + comp;
    c.locationCode = lcode;
    c.component = comp;
    c.describedRate = rate;
    c.fileRate = rate;
    c.role = role;
    switch (role) {
    case ChannelRole::Lagging: c.lagSeconds = kLagSeconds; break;
    case ChannelRole::RateMismatch: c.fileRate = kMismatchFileRate; break;
    case ChannelRole::NotDescribed: c.describedRate = 0; break;
    case ChannelRole::NeverRecorded: c.fileRate = 0; break;
    default: break;
    }
    return c;
}

}  // namespace

std::vector<NetworkStation> BuildNetwork(int stations) {
    std::vector<NetworkStation> net;
    if (stations < 1) stations = 1;
    constexpr double kRates[] = {20, 40, 100};
    for (int i = 0; i < stations; ++i) {
        NetworkStation st;
        double rate = 0;
        std::string lcode;
        ChannelRole role = ChannelRole::Normal;
        constexpr int kNamedCount = static_cast<int>(sizeof kNamed / sizeof kNamed[0]);
        if (i < kNamedCount) {
            const Named& n = kNamed[i];
            st.code = n.code;
            st.eastKm = n.east;
            st.northKm = n.north;
            rate = n.rate;
            lcode = n.lcode;
            role = n.role;
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "S%04d", i + 1);
            st.code = code;
            // A spiral keeps the extra stations apart whatever their number.
            const double angle = i * 2.39996;  // golden angle, rad
            const double radius = 60 * std::sqrt(static_cast<double>(i));
            st.eastKm = radius * std::cos(angle);
            st.northKm = radius * std::sin(angle);
            rate = kRates[i % 3];
            lcode = i % 4 == 0 ? "00" : "";
        }
        for (char comp : {'Z', 'N', 'E'}) {
            // Only the vertical of that station lacks its description: it is
            // the component the monitor shows.
            ChannelRole r = role;
            if (role == ChannelRole::NotDescribed && comp != 'Z') r = ChannelRole::Normal;
            st.channels.push_back(MakeChannel(st, comp, rate, lcode, r));
        }
        net.push_back(std::move(st));
    }
    return net;
}

}  // namespace kvt::sim
