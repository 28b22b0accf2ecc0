// The seven supported interface devices and central units, with their baud rates and the
// byte protocol each speaks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kw {

// Byte protocols: 1 and 4 standard polling, 2 MC2004 events, 3 SLX852 events, 5 FCC blocks.
constexpr int kClassPolling = 1;
constexpr int kClassMc2004 = 2;
constexpr int kClassSlx852 = 3;
constexpr int kClassPollingFast = 4;
constexpr int kClassFcc = 5;

struct InterfaceType {
  std::string name;  // UTF-8 for display
  std::vector<uint32_t> bauds;
  int protocolClass = 0;
};

constexpr int kInterfaceTypeCount = 7;
using InterfaceTypes = std::array<InterfaceType, kInterfaceTypeCount>;

// Walks the packed constant block (Windows-1252 names, little-endian rates ending in 0,
// one class byte per type).
InterfaceTypes buildInterfaceTypes();

// The baud rate of (type, index); the type's first rate for an index beyond its list, 0 for
// an unknown type.
uint32_t baudFor(const InterfaceTypes& types, int typeIndex, int baudIndex);

}  // namespace kw
