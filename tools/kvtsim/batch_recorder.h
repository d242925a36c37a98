#pragma once
// kvtsim's batch mode (the channels, rate and number of blocks given on the
// command line; see kvtsim_args.h).

#include <string>
#include <vector>

namespace kvt::sim {

//! Records as the arguments (without the program name) say. Exit status: 0,
//! 1 when a block could not be stored or the connection failed, 2 for bad usage.
int RunBatch(const std::vector<std::string>& arguments);

}  // namespace kvt::sim
