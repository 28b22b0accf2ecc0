// What a read-out or programming run learns of the module and keeps for the next run.
#pragma once

#include <cstdint>

namespace kw {

struct ModuleState {
  // Family 0, sub-types 16 and 17: the module's answer to parameter 24 at address 2.
  uint8_t moduleModeFlag = 0;
  // Family 1, sub-type 18: the module's version and the byte beside it (parameter 12).
  uint8_t moduleVersion = 0;
  uint8_t moduleVersionByte = 0;
  // The bus address the programming-mode switch put into programming mode (-1: none, or
  // the module's own key did it). The roster names a sheet by it when the page shows no
  // address of its own.
  int switchedAddress = -1;
};

}  // namespace kw
