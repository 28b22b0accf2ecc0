#include "buslink/interface_types.h"

#include <string_view>

#include "platform/text_encoding.h"

namespace kw {

namespace {

#define KW_RATE(r) \
  static_cast<char>((r) & 0xFF), static_cast<char>(((r) >> 8) & 0xFF), \
      static_cast<char>(((r) >> 16) & 0xFF), static_cast<char>(((r) >> 24) & 0xFF)

// Per type: name, NUL, rates (32-bit little-endian) ending with 0, class byte.
constexpr char kPackedTypes[] = {
    'Z', 'A', 'Z', 'O', ' ', 'A', 'd', 'v', 'a', 'n', 'c', 'e', 'd', ' ', 'I', 'n', 't', 'e',
    'r', 'f', 'a', 'c', 'e', ' ', 'I', 'I', 'I', 0, KW_RATE(230400), KW_RATE(115200),
    KW_RATE(57600), KW_RATE(38400), KW_RATE(19200), KW_RATE(0), 4,
    'Z', 'A', 'Z', 'O', ' ', 'A', 'd', 'v', 'a', 'n', 'c', 'e', 'd', ' ', 'I', 'n', 't', 'e',
    'r', 'f', 'a', 'c', 'e', ' ', 'I', 'I', 0, KW_RATE(57600), KW_RATE(38400), KW_RATE(19200),
    KW_RATE(0), 1,
    'Z', 'A', 'Z', 'O', ' ', 'A', 'd', 'v', 'a', 'n', 'c', 'e', 'd', ' ', 'I', 'n', 't', 'e',
    'r', 'f', 'a', 'c', 'e', 0, KW_RATE(19200), KW_RATE(9600), KW_RATE(0), 1,
    'M', static_cast<char>(0xDC), 'T', ' ', 'M', 'C', '2', '0', '0', '4', 0, KW_RATE(38400),
    KW_RATE(19200), KW_RATE(0), 2,
    'R', 'a', 'u', 't', 'e', 'n', 'h', 'a', 'u', 's', ' ', 'S', 'L', 'X', '8', '5', '2', 0,
    KW_RATE(57600), KW_RATE(38400), KW_RATE(19200), KW_RATE(0), 3,
    'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', ' ', '(', '6', '6', '8', '4', '2', ',', ' ', '6',
    '6', '8', '2', '4', ',', ' ', 'S', 'L', 'X', '8', '2', '5', ')', 0, KW_RATE(57600),
    KW_RATE(38400), KW_RATE(19200), KW_RATE(9600), KW_RATE(0), 1,
    'F', 'u', 't', 'u', 'r', 'e', ' ', 'C', 'e', 'n', 't', 'r', 'a', 'l', ' ', 'C', 'o', 'n',
    't', 'r', 'o', 'l', 0, KW_RATE(230400), KW_RATE(0), 5,
};
#undef KW_RATE

}  // namespace

InterfaceTypes buildInterfaceTypes() {
  InterfaceTypes types{};
  const std::string_view block(kPackedTypes, sizeof kPackedTypes);
  size_t pos = 0;
  for (int t = 0; t < kInterfaceTypeCount && pos < block.size(); ++t) {
    size_t end = block.find('\0', pos);
    if (end == std::string_view::npos) break;
    types[t].name = cp1252ToUtf8(block.substr(pos, end - pos));
    pos = end + 1;
    while (pos + 4 <= block.size()) {
      uint32_t rate = static_cast<uint8_t>(block[pos]) |
                      (static_cast<uint32_t>(static_cast<uint8_t>(block[pos + 1])) << 8) |
                      (static_cast<uint32_t>(static_cast<uint8_t>(block[pos + 2])) << 16) |
                      (static_cast<uint32_t>(static_cast<uint8_t>(block[pos + 3])) << 24);
      pos += 4;
      if (rate == 0) break;
      types[t].bauds.push_back(rate);
    }
    if (pos < block.size()) types[t].protocolClass = static_cast<uint8_t>(block[pos++]);
  }
  return types;
}

uint32_t baudFor(const InterfaceTypes& types, int typeIndex, int baudIndex) {
  if (typeIndex < 0 || typeIndex >= kInterfaceTypeCount) return 0;
  const auto& b = types[typeIndex].bauds;
  if (b.empty()) return 0;
  if (baudIndex < 0 || baudIndex >= static_cast<int>(b.size())) return b.front();
  return b[baudIndex];
}

}  // namespace kw
