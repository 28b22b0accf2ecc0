// Mode strings ("COM3:19200,n,8,1"): whatever is accepted has its fields in range, and the
// string the program builds from them is accepted with the same fields.
#include "fuzz_check.h"
#include "platform/serial.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(kw::fuzz::asText(data, size));
  const std::optional<kw::SerialMode> mode = kw::parseSerialMode(text);
  if (!mode) return 0;
  KW_FUZZ_CHECK(mode->port >= 1 && mode->port <= 255);
  KW_FUZZ_CHECK(mode->baud > 0);
  KW_FUZZ_CHECK(std::string_view("neoms").find(mode->parity) != std::string_view::npos);
  KW_FUZZ_CHECK(mode->dataBits >= 5 && mode->dataBits <= 8);
  KW_FUZZ_CHECK(mode->stopBits == 1 || mode->stopBits == 2);
  const std::string canonical =
      "COM" + std::to_string(mode->port) + ":" + std::to_string(mode->baud) + "," + mode->parity +
      "," + std::to_string(mode->dataBits) + "," + std::to_string(mode->stopBits);
  const std::optional<kw::SerialMode> again = kw::parseSerialMode(canonical);
  KW_FUZZ_CHECK(again && again->port == mode->port && again->baud == mode->baud &&
                again->parity == mode->parity && again->dataBits == mode->dataBits &&
                again->stopBits == mode->stopBits);
  return 0;
}
