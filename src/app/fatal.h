// The one handler for faults the program cannot recover from: it tells the user where it
// happened and ends the process.
#pragma once

#include <atomic>
#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

namespace kw {

class Ui;
class System;

// An internal fault with the place where it was raised.
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& what,
                      std::source_location where = std::source_location::current())
      : std::runtime_error(what), line_(static_cast<int>(where.line())), file_(where.file_name()) {}
  int line() const { return line_; }
  const std::string& file() const { return file_; }

 private:
  int line_;
  std::string file_;
};

// Line number (-1 when unknown), description and source file name without directory and
// extension, then "Programm wird beendet!    ".
std::string fatalErrorText(int line, std::string_view description, std::string_view file);

// Tells the user of a fault that ends the program and ends the process, whichever thread
// the fault happened on. The message goes through Ui::showFatalMessage, which any thread
// may call (a message box proper only works on the main thread).
class FatalReporter {
 public:
  void attach(Ui* ui, System* system) {
    ui_ = ui;
    system_ = system;
  }
  // Shows the message (title "Error") and ends the process. While one thread tells the
  // user, a fault on another thread waits for it (the first one ends the process); a fault
  // on the same thread, inside the message itself, ends the process at once.
  [[noreturn]] void report(int line, std::string_view description, std::string_view file);

 private:
  [[noreturn]] void end();

  std::atomic<Ui*> ui_{nullptr};
  std::atomic<System*> system_{nullptr};
  std::atomic<std::thread::id> reporter_{};
};

// Catches fatal signals and exceptions that escape a thread. The handler keeps the two
// pointers for the rest of the process' life.
void installFatalErrorHandler(Ui* ui, System* system);

// Shows the message (title "Error") and ends the process.
[[noreturn]] void reportFatalError(int line, std::string_view description, std::string_view file);
// Same for whatever exception is in flight.
[[noreturn]] void reportCurrentException();

}  // namespace kw
