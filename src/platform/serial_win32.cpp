// Serial ports through the Windows communications API. The interfaces on the bus expect
// exactly this set-up: RTS held on (some draw their power from it), no handshake of any
// kind, and reads that give up 100 ms after the last byte.
#ifdef _WIN32

#include "platform/serial_win32.h"

#include <windows.h>

#include <climits>
#include <string>

namespace kw {
namespace {

class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE handle, bool applied) : handle_(handle), applied_(applied) {}
  ~Win32SerialPort() override { CloseHandle(handle_); }

  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  size_t write(const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (data && done < size) {
      DWORD chunk = static_cast<DWORD>(size - done > MAXDWORD ? MAXDWORD : size - done);
      DWORD written = 0;
      if (!WriteFile(handle_, data + done, chunk, &written, nullptr) || written == 0) break;
      done += written;
    }
    return done;
  }

  size_t read(uint8_t* data, size_t size) override {
    if (!data || size == 0) return 0;
    DWORD chunk = static_cast<DWORD>(size > MAXDWORD ? MAXDWORD : size);
    DWORD got = 0;
    if (!ReadFile(handle_, data, chunk, &got, nullptr)) return 0;
    return got;
  }

  int waiting() override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) return -1;  // the device has gone
    return status.cbInQue > static_cast<DWORD>(INT_MAX) ? INT_MAX
                                                         : static_cast<int>(status.cbInQue);
  }

  bool cts() override {
    DWORD lines = 0;
    if (!GetCommModemStatus(handle_, &lines)) return false;
    return (lines & MS_CTS_ON) != 0;
  }

  void purge() override {
    PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  }

  bool settingsApplied() const override { return applied_; }

 private:
  HANDLE handle_;
  bool applied_;
};

}  // namespace

std::unique_ptr<SerialPort> Win32SerialPorts::open(int port, const SerialSettings& settings) {
  if (port < 1 || port > 255) return nullptr;
  // The "\\.\" form reaches COM10 and above as well as COM1 to COM9.
  std::string device = "\\\\.\\COM" + std::to_string(port);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;

  // Only opening the device decides whether the port counts as open; each of the settings
  // below may fail on an odd driver, and the port is used all the same.
  bool applied = SetupComm(h, settings.inQueue, settings.outQueue) != 0;

  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  GetCommState(h, &dcb);
  if (BuildCommDCBA(settings.mode.c_str(), &dcb)) {
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    if (settings.flowControl) {
      dcb.fOutxCtsFlow = TRUE;
      dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else {
      dcb.fOutxCtsFlow = FALSE;
      dcb.fRtsControl = settings.rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    }
    if (!SetCommState(h, &dcb)) applied = false;
  } else {
    applied = false;
  }

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = settings.readIntervalMs;
  timeouts.ReadTotalTimeoutMultiplier = settings.readPerByteMs;
  timeouts.ReadTotalTimeoutConstant = settings.readTotalMs;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 0;
  if (!SetCommTimeouts(h, &timeouts)) applied = false;

  return std::make_unique<Win32SerialPort>(h, applied);
}

}  // namespace kw

#endif  // _WIN32
