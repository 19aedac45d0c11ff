// The number is a named mutex in the logon session's own namespace
// ("Local\"), kept open by this process: the system closes it when the
// process goes, and other sessions have names of their own.
#include <windows.h>

#include <string>

#include "platform/instance_number.h"

namespace crewmap::platform {

int ClaimInstanceNumber(int count) {
  static int held = -1;
  for (int n = 0; n < count && held < 0; ++n) {
    const std::wstring name = L"Local\\CrewmapInstance" + std::to_wstring(n);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex && GetLastError() != ERROR_ALREADY_EXISTS)
      held = n;  // the handle stays open until the process ends
    else if (mutex)
      CloseHandle(mutex);
  }
  return held < 0 ? 0 : held;
}

}  // namespace crewmap::platform
