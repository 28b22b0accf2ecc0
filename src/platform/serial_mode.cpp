// Reading the line settings out of a mode string such as "COM3:19200,n,8,1". The same
// string goes to the Windows API unchanged; on other systems, and for the simulated
// interfaces, this reader is what turns it into baud rate, parity, data and stop bits.
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/serial.h"

namespace kw {
namespace {

class ModeReader {
 public:
  explicit ModeReader(const std::string& text) : s_(text) {}

  void skipSpaces() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool atEnd() {
    skipSpaces();
    return pos_ == s_.size();
  }
  bool literal(char c) {
    skipSpaces();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool word(const char* w) {  // case-insensitive
    skipSpaces();
    size_t p = pos_;
    for (; *w; ++w, ++p) {
      if (p >= s_.size()) return false;
      if (std::tolower(static_cast<unsigned char>(s_[p])) != *w) return false;
    }
    pos_ = p;
    return true;
  }
  bool digitNext() const {
    return pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]));
  }
  // A decimal number without sign; nullopt when there is none or it does not fit 32 bits.
  std::optional<uint32_t> number() {
    skipSpaces();
    uint64_t value = 0;
    size_t start = pos_;
    while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
      value = value * 10 + static_cast<uint64_t>(s_[pos_] - '0');
      if (value > UINT32_MAX) return std::nullopt;
      ++pos_;
    }
    if (pos_ == start) return std::nullopt;
    return static_cast<uint32_t>(value);
  }
  std::optional<char> letter() {
    skipSpaces();
    if (pos_ >= s_.size()) return std::nullopt;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(s_[pos_++])));
  }

 private:
  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<SerialMode> parseSerialMode(const std::string& mode) {
  ModeReader r(mode);
  SerialMode m;
  if (!r.word("com")) return std::nullopt;
  // "COM 3" names no device anywhere, so the number must follow at once.
  if (!r.digitNext()) return std::nullopt;
  auto port = r.number();
  if (!port || *port < 1 || *port > 255) return std::nullopt;
  m.port = static_cast<int>(*port);
  if (!r.literal(':')) return std::nullopt;

  auto baud = r.number();
  if (!baud || *baud == 0) return std::nullopt;
  m.baud = *baud;
  if (!r.literal(',')) return std::nullopt;

  auto parity = r.letter();
  if (!parity) return std::nullopt;
  switch (*parity) {
    case 'n': case 'e': case 'o': case 'm': case 's': m.parity = *parity; break;
    default: return std::nullopt;
  }
  if (!r.literal(',')) return std::nullopt;

  auto data = r.number();
  if (!data || *data < 5 || *data > 8) return std::nullopt;
  m.dataBits = static_cast<int>(*data);
  if (!r.literal(',')) return std::nullopt;

  auto stop = r.number();
  if (!stop || (*stop != 1 && *stop != 2)) return std::nullopt;
  m.stopBits = static_cast<int>(*stop);

  if (!r.atEnd()) return std::nullopt;
  return m;
}

std::string portVariableName(int port) { return "KANTELWERK_COM" + std::to_string(port); }

}  // namespace kw
