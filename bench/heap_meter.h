#pragma once
// Bytes of heap in use and their peak, for the memory figures of a bench.
//
// Linking heap_meter.cpp into a program puts its own malloc family in front
// of the C library's: every allocation of the program and of the libraries
// it loads (Qt's image data, the ODBC driver, C++ new) is counted by the
// usable size of its block.

#include <cstddef>

namespace kvt::bench {

//! Bytes of heap blocks in use now.
std::size_t HeapInUse() noexcept;
//! Highest HeapInUse since the last ResetHeapPeak.
std::size_t HeapPeak() noexcept;
//! Starts a new peak from the bytes in use now.
void ResetHeapPeak() noexcept;

}  // namespace kvt::bench
