#include "app/status_popup.h"

#include <array>
#include <vector>

#include "app/shell.h"

namespace kw {

namespace {

// The languages' words after the count, German first.
constexpr std::array<const char*, 4> kDroppedWords{"Bytes verworfen", "bytes dropped",
                                                   "byte scartati", "octets rejetés"};

// Per problem (NoDevice, NotFound, Busy, PermissionDenied), German first.
constexpr std::array<std::array<const char*, 4>, 4> kProblemWords{{
    {"keinem Gerät zugeordnet", "no device assigned", "nessun dispositivo assegnato",
     "aucun périphérique attribué"},
    {"Gerät nicht gefunden", "device not found", "dispositivo non trovato",
     "périphérique introuvable"},
    {"von einem anderen Programm belegt", "held by another program",
     "occupato da un altro programma", "occupé par un autre programme"},
    {"Zugriff verweigert", "permission denied", "accesso negato", "accès refusé"},
}};

// Serial devices belong to the group dialout on Linux.
constexpr std::array<const char*, 4> kDialoutHint{
    "Zugriff erfordert die Gruppe dialout: sudo usermod -aG dialout BENUTZER, dann neu anmelden",
    "Access needs the group dialout: sudo usermod -aG dialout USERNAME, then log in again",
    "L'accesso richiede il gruppo dialout: sudo usermod -aG dialout UTENTE, poi accedere di nuovo",
    "L'accès demande le groupe dialout : sudo usermod -aG dialout UTILISATEUR, puis se "
    "reconnecter"};

size_t languageIndex(int language) {
  return language >= 1 && language <= 4 ? static_cast<size_t>(language - 1) : 0;
}

}  // namespace

std::vector<std::string> portProblemLines(int port, const std::string& device,
                                          PortProblem problem, int language) {
  if (problem == PortProblem::None) return {};
  const size_t l = languageIndex(language);
  const auto& words = kProblemWords[static_cast<size_t>(problem) - 1];
  std::string line = "Com " + std::to_string(port);
  if (!device.empty()) line += " = " + device;
  std::vector<std::string> lines{line + ": " + words[l]};
#ifndef _WIN32
  if (problem == PortProblem::PermissionDenied) lines.emplace_back(kDialoutHint[l]);
#endif
  return lines;
}

std::string droppedLine(int port, uint32_t bytes, int language) {
  if (bytes == 0) return {};
  return "Com " + std::to_string(port) + ": " + std::to_string(bytes) + " " +
         kDroppedWords[languageIndex(language)];
}

void showStatusPopup(AppContext& ctx) {
  std::vector<MenuItem> items;
  int id = menu::kStatusPopup * 100;
  for (int t = 590; t <= 594; ++t) items.push_back({++id, ctx.text(t), 0});
  for (int n = 1; n <= kPortCount; ++n) {
    // A port that failed to open says why, as the system tells it now.
    if (ctx.busLink.portState(n) == kPortOpenFailed)
      for (std::string& line : portProblemLines(n, ctx.serial.deviceName(n),
                                                ctx.serial.problem(n), ctx.language))
        items.push_back({++id, std::move(line), 0});
    std::string line = droppedLine(n, ctx.busLink.droppedBytes(n), ctx.language);
    if (!line.empty()) items.push_back({++id, std::move(line), 0});
  }
  ctx.ui.createPopupMenu(menu::kStatusPopup, items);
  ctx.ui.showPopupMenu(win::kMain, menu::kStatusPopup);
}

}  // namespace kw
