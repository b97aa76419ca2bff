// SPDX-License-Identifier: MIT
// System information of the host, in Windows' terms.
#include <unistd.h>

#include <cstring>

#include "LumoPlatform.h"

void GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (lpSystemInfo == nullptr) return;
  std::memset(lpSystemInfo, 0, sizeof *lpSystemInfo);
#if defined(__x86_64__)
  lpSystemInfo->u.s.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  lpSystemInfo->dwProcessorType = PROCESSOR_AMD_X8664;
#elif defined(__aarch64__)
  lpSystemInfo->u.s.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
#else
  lpSystemInfo->u.s.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  lpSystemInfo->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
#endif
  const long page = sysconf(_SC_PAGESIZE);
  lpSystemInfo->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
  lpSystemInfo->dwAllocationGranularity = 65536;
  lpSystemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t{0x10000});
  lpSystemInfo->lpMaximumApplicationAddress =
      reinterpret_cast<LPVOID>(sizeof(void*) == 8 ? uintptr_t(0x7FFFFFFEFFFFull) : uintptr_t(0x7FFEFFFF));
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  if (processors < 1) processors = 1;
  lpSystemInfo->dwNumberOfProcessors = static_cast<DWORD>(processors);
  const int maskBits = static_cast<int>(sizeof(DWORD_PTR) * 8);
  lpSystemInfo->dwActiveProcessorMask = processors >= maskBits ? ~DWORD_PTR{0} : (DWORD_PTR{1} << processors) - 1;
  lpSystemInfo->wProcessorLevel = 6;
}
