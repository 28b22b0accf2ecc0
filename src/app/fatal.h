// The one handler for faults the program cannot recover from: it tells the user where it
// happened and ends the process.
#pragma once

#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>

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

// Catches fatal signals and exceptions that escape a thread. The handler keeps the two
// pointers for the rest of the process' life.
void installFatalErrorHandler(Ui* ui, System* system);

// Shows the message (title "Error") and ends the process.
[[noreturn]] void reportFatalError(int line, std::string_view description, std::string_view file);
// Same for whatever exception is in flight.
[[noreturn]] void reportCurrentException();

}  // namespace kw
