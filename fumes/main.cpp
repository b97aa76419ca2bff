// SPDX-License-Identifier: MIT
// Program entry: hand over to FumesMain and end the process with its result.
#include "Fumes.h"

#if defined(_WIN32)
int WINAPI WinMain(HINSTANCE Instance, HINSTANCE PrevInstance, LPSTR CmdLine, int CmdShow) {
  ExitProcess(static_cast<UINT>(FumesMain(Instance, PrevInstance, CmdLine, CmdShow)));
}
#else
int main() {
  char NoCommandLine[] = "";
  ExitProcess(static_cast<UINT>(FumesMain(GetModuleHandleA(nullptr), nullptr, NoCommandLine, SW_SHOWNORMAL)));
}
#endif
