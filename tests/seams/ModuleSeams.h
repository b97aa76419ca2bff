// SPDX-License-Identifier: MIT
// Test seams of the native module loader: tests point LoadLibraryA at a
// directory of their own, swap one module name for another file (or make it
// missing), and count the loader's calls. Not part of the Win32 surface and
// not available on Windows.
#pragma once

namespace lumo::test {

// Directory LoadLibraryA searches for bare module names; null restores the
// executable's own directory.
void SetModuleSearchDirectory(const char* directory);

// LoadLibraryA(requested) opens fileName instead (matched the same way);
// a null fileName makes the module missing. Names compare without case.
void MapModuleName(const char* requested, const char* fileName);
void ClearModuleNameMappings();

// Calls since the last reset, failed ones included.
unsigned LoadLibraryCallCount();
unsigned FreeLibraryCallCount();
void ResetModuleCallCounts();

}  // namespace lumo::test
