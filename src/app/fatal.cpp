#include "app/fatal.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/system.h"
#include "platform/ui.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kw {

namespace {

// Set once at start-up; signal handlers and std::terminate cannot be given a context.
FatalReporter& processReporter() {
  static FatalReporter reporter;
  return reporter;
}

const char* signalDescription(int sig) {
  switch (sig) {
    case SIGSEGV: return "Access violation (segmentation fault)";
    case SIGFPE: return "Arithmetic error";
    case SIGILL: return "Illegal instruction";
    case SIGABRT: return "Abnormal termination";
#ifdef SIGBUS
    case SIGBUS: return "Bus error";
#endif
    default: return "Fatal signal";
  }
}

void onSignal(int sig) {
  std::signal(sig, SIG_DFL);
#ifndef _WIN32
  alarm(600);  // never hang on the way out, yet leave the user time to read the message
#endif
  reportFatalError(-1, signalDescription(sig), "");
}

void onTerminate() { reportCurrentException(); }

}  // namespace

std::string fatalErrorText(int line, std::string_view description, std::string_view file) {
  size_t slash = file.find_last_of("/\\");
  if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
  size_t dot = file.rfind('.');
  if (dot != std::string_view::npos) file = file.substr(0, dot);
  std::string text = std::to_string(line);
  text += '\n';
  text += description;
  text += '\n';
  text += file;
  text += "\n\nProgramm wird beendet!    ";
  return text;
}

void installFatalErrorHandler(Ui* ui, System* system) {
  processReporter().attach(ui, system);
  std::set_terminate(onTerminate);
  for (int sig : {SIGSEGV, SIGFPE, SIGILL, SIGABRT
#ifdef SIGBUS
                  ,
                  SIGBUS
#endif
       })
    std::signal(sig, onSignal);
}

void FatalReporter::report(int line, std::string_view description, std::string_view file) {
  const std::string text = fatalErrorText(line, description, file);
  const std::thread::id self = std::this_thread::get_id();
  std::thread::id nobody{};
  if (reporter_.compare_exchange_strong(nobody, self)) {
    std::fputs(("Error\n" + text + "\n").c_str(), stderr);
    if (Ui* ui = ui_.load()) ui->showFatalMessage("Error", text);
    end();
  }
  if (nobody == self) end();  // a fault while the message is being shown
  // Another thread is telling the user already and ends the process once the message has
  // been read; this thread must not end it under the message. No clock exists here: the
  // program is past its normal life.
  std::fputs(("Error\n" + text + "\n").c_str(), stderr);
  for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

void FatalReporter::end() {
  if (System* s = system_.load()) s->exitProcess(1);
  std::_Exit(1);
}

void reportFatalError(int line, std::string_view description, std::string_view file) {
  processReporter().report(line, description, file);
}

void reportCurrentException() {
  if (auto e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const FatalError& f) {
      reportFatalError(f.line(), f.what(), f.file());
    } catch (const std::exception& x) {
      reportFatalError(-1, x.what(), "");
    } catch (...) {
      reportFatalError(-1, "Unknown error", "");
    }
  }
  reportFatalError(-1, "Unknown error", "");
}

}  // namespace kw
