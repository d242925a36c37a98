#pragma once
// Local earthquakes of the recording simulator and their arrival times.
//
// The schedule is a pure function of time: time is cut into slots of
// `intervalSeconds`, and each slot holds one event whose origin time,
// epicentre, depth and magnitude follow from the slot number and the seed.
// So a back-fill and the live recording, and two runs of the simulator, see
// the same events.

#include <cstdint>
#include <vector>

namespace kvt::sim {

struct Quake {
    std::int64_t slot = 0;  //!< slot number (identifies the event)
    double originTime = 0;  //!< epoch s
    double eastKm = 0;      //!< epicentre, km east of the network centre
    double northKm = 0;     //!< epicentre, km north of the network centre
    double depthKm = 10;    //!< km
    double magnitude = 2;   //!< local magnitude
};

//! Crustal velocities, km/s.
inline constexpr double kVp = 6.0;
inline constexpr double kVs = 3.5;

//! P and S arrival times (epoch s) of a quake at an epicentral distance (km).
struct Arrivals {
    double p = 0;  //!< epoch s
    double s = 0;  //!< epoch s
};
Arrivals TravelTimes(const Quake& q, double epicentralKm);

class QuakeSchedule {
public:
    //! intervalSeconds > 0: one event per slot of that length; radiusKm: the
    //! epicentres lie within that distance of the centre.
    QuakeSchedule(double intervalSeconds, double radiusKm, std::uint32_t seed);
    //! The event of one slot.
    Quake InSlot(std::int64_t slot) const;
    //! Events whose origin time lies in [from, to) (epoch s), oldest first.
    std::vector<Quake> Between(double from, double to) const;
    double interval() const { return interval_; }

private:
    double interval_;
    double radius_;
    std::uint32_t seed_;
};

}  // namespace kvt::sim
