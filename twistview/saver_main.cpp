// SPDX-License-Identifier: MIT
// twistview.scr: the turning picture as a Windows screensaver, from the
// program's cores.
#include <iterator>

#include "TwistSaver.h"
#include "WindowsSaver.h"

namespace {

constexpr TSaverSetting Settings[] = {
    {"Picture", "Picture", "1|2|both", 0},
    {"Filter", "Bilinear filter", nullptr, 1},
    {"Feedback", "Feedback (each frame averaged with the last)", nullptr, 0},
    {"Fps", "Show frames per second", nullptr, 0},
};

const TSaverEffect& Configure(const DWORD* Values) {
  TwistSaverSettings.Picture = Values[0] == 2 ? 0 : static_cast<int32_t>(Values[0]) + 1;
  TwistSaverSettings.Filter = Values[1] != 0;
  TwistSaverSettings.Feedback = Values[2] != 0;
  TwistSaverSettings.Fps = Values[3] != 0;
  return TwistSaverEffect;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR CmdLine, int) {
  return RunWindowsSaver(CmdLine, {"twistview", Settings, std::size(Settings), Configure});
}
