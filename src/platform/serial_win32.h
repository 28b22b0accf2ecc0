// Serial ports on Windows: the COM devices through the communications API.
#pragma once
#ifdef _WIN32

#include <memory>

#include "platform/serial.h"

namespace kw {

class Win32SerialPorts final : public SerialPorts {
 public:
  // Opens "\\.\COMn" exclusively; the mode string goes to BuildCommDCB unchanged.
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override;
  // Windows tells a port that another program holds by refusing access to it.
  PortProblem problem(int port) override;
};

}  // namespace kw

#endif  // _WIN32
