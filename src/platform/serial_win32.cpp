// Serial ports through the Windows communications API. The interfaces on the bus expect
// exactly this set-up: RTS held on (some draw their power from it), no handshake of any
// kind, and reads that give up 100 ms after the last byte.
#ifdef _WIN32

#include "platform/serial_win32.h"

#include <windows.h>

#include <climits>
#include <string>
#include <vector>

namespace kw {
namespace {

// Every transfer is overlapped, so that a wait for new bytes (WaitCommEvent) can run
// beside reads and writes; each transfer still completes before its call returns, with the
// read timeouts of the port.
class Win32SerialPort final : public SerialPort {
 public:
  Win32SerialPort(HANDLE handle, bool applied) : handle_(handle), applied_(applied) {
    readEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    commEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // A new byte or a change of CTS ends the bus thread's wait.
    if (!SetCommMask(handle_, EV_RXCHAR | EV_CTS)) eventsUsable_ = false;
  }
  ~Win32SerialPort() override {
    if (waitPending_) {
      SetCommMask(handle_, 0);  // ends the pending WaitCommEvent
      DWORD ignored = 0;
      GetOverlappedResult(handle_, &commOverlapped_, &ignored, TRUE);
    }
    CloseHandle(handle_);
    for (HANDLE e : {readEvent_, writeEvent_, commEvent_})
      if (e) CloseHandle(e);
  }

  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  size_t write(const uint8_t* data, size_t size) override {
    size_t done = 0;
    while (data && done < size) {
      DWORD chunk = static_cast<DWORD>(size - done > MAXDWORD ? MAXDWORD : size - done);
      DWORD written = 0;
      if (!transfer(false, const_cast<uint8_t*>(data + done), chunk, written) || written == 0)
        break;
      done += written;
    }
    return done;
  }

  size_t read(uint8_t* data, size_t size) override {
    if (!data || size == 0) return 0;
    DWORD chunk = static_cast<DWORD>(size > MAXDWORD ? MAXDWORD : size);
    DWORD got = 0;
    if (!transfer(true, data, chunk, got)) return 0;
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

  // The event of a WaitCommEvent that ends with the next received byte or CTS change;
  // armed anew once the previous one has ended.
  WaitHandle inputHandle() override {
    if (!eventsUsable_ || !commEvent_) return kNoWaitHandle;
    if (waitPending_) {
      if (!HasOverlappedIoCompleted(&commOverlapped_)) return asHandle(commEvent_);
      waitPending_ = false;
    }
    ResetEvent(commEvent_);
    commOverlapped_ = OVERLAPPED{};
    commOverlapped_.hEvent = commEvent_;
    commMask_ = 0;
    if (WaitCommEvent(handle_, &commMask_, &commOverlapped_)) {
      SetEvent(commEvent_);  // something happened already: the wait ends at once
    } else if (GetLastError() == ERROR_IO_PENDING) {
      waitPending_ = true;
    } else {
      return kNoWaitHandle;  // the device has gone; waiting() says so
    }
    return asHandle(commEvent_);
  }

 private:
  static WaitHandle asHandle(HANDLE h) { return reinterpret_cast<WaitHandle>(h); }

  // One read or write, waited for to its end.
  bool transfer(bool reading, uint8_t* data, DWORD size, DWORD& done) {
    OVERLAPPED o{};
    o.hEvent = reading ? readEvent_ : writeEvent_;
    if (!o.hEvent) return false;
    ResetEvent(o.hEvent);
    done = 0;
    BOOL ok = reading ? ReadFile(handle_, data, size, &done, &o)
                      : WriteFile(handle_, data, size, &done, &o);
    if (ok) return true;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(handle_, &o, &done, TRUE) != 0;
  }

  HANDLE handle_;
  bool applied_;
  HANDLE readEvent_ = nullptr;
  HANDLE writeEvent_ = nullptr;
  HANDLE commEvent_ = nullptr;
  OVERLAPPED commOverlapped_{};
  DWORD commMask_ = 0;
  bool waitPending_ = false;
  bool eventsUsable_ = true;
};

// WaitForMultipleObjects over the ports' events and an event of its own for wake().
class EventWaiter final : public InputWaiter {
 public:
  EventWaiter() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~EventWaiter() override {
    if (wake_) CloseHandle(wake_);
  }
  EventWaiter(const EventWaiter&) = delete;
  EventWaiter& operator=(const EventWaiter&) = delete;

  void wait(const std::vector<WaitHandle>& handles, int ms) override {
    std::vector<HANDLE> all;
    if (wake_) all.push_back(wake_);
    for (WaitHandle h : handles) {
      if (h == kNoWaitHandle || all.size() >= MAXIMUM_WAIT_OBJECTS) continue;
      all.push_back(reinterpret_cast<HANDLE>(h));
    }
    const DWORD timeout = ms < 0 ? 0 : static_cast<DWORD>(ms);
    if (all.empty()) {
      Sleep(timeout);
      return;
    }
    WaitForMultipleObjects(static_cast<DWORD>(all.size()), all.data(), FALSE, timeout);
  }

  void wake() override {
    if (wake_) SetEvent(wake_);
  }

 private:
  HANDLE wake_;
};

}  // namespace

PortProblem Win32SerialPorts::problem(int port) {
  if (port < 1 || port > 255) return PortProblem::NoDevice;
  const std::string device = "\\\\.\\COM" + std::to_string(port);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return PortProblem::None;
  }
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return PortProblem::Busy;
    default: return PortProblem::NotFound;
  }
}

std::unique_ptr<SerialPort> Win32SerialPorts::open(int port, const SerialSettings& settings) {
  if (port < 1 || port > 255) return nullptr;
  // The "\\.\" form reaches COM10 and above as well as COM1 to COM9.
  std::string device = "\\\\.\\COM" + std::to_string(port);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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

std::unique_ptr<InputWaiter> makeInputWaiter() { return std::make_unique<EventWaiter>(); }

}  // namespace kw

#endif  // _WIN32
