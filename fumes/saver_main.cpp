// SPDX-License-Identifier: MIT
// fumes.scr: the smoke as a Windows screensaver, from the program's cores.
#include <iterator>

#include "FumesSaver.h"
#include "WindowsSaver.h"

namespace {

constexpr TSaverSetting Settings[] = {
    {"Scheme", "Colour scheme", "1|2", 0},
    {"Fps", "Show frames per second", nullptr, 0},
};

const TSaverEffect& Configure(const DWORD* Values) {
  FumesSaverSettings.Scheme = Values[0] == 1 ? 2 : 1;
  FumesSaverSettings.Fps = Values[1] != 0;
  return FumesSaverEffect;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR CmdLine, int) {
  return RunWindowsSaver(CmdLine, {"fumes", Settings, std::size(Settings), Configure});
}
