// SPDX-License-Identifier: MIT
// The system's only door to the platform.
//
// On Windows this is the real Win32 API. Everywhere else it declares the
// small Win32 subset the programs and the library call, with Windows' own
// names, types and structure layouts; platform/ implements it.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#include <objidl.h>

#else

#include "lumo_win32/WinTypes.h"
#include "lumo_win32/WinGdi.h"
#include "lumo_win32/WinBase.h"
#include "lumo_win32/WinUser.h"
#include "lumo_win32/ObjIdl.h"
#include "lumo_win32/CommDlg.h"

#endif
