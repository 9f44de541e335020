#include "tags/id3/system_error.h"

#include <windows.h>

namespace kestrun::tags {

int LastSystemError() {
  const DWORD code = GetLastError();
  return (code == 0 || code == static_cast<DWORD>(-1)) ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(code);
}

void ClearSystemError() { SetLastError(0); }

int OutOfMemoryError() { return static_cast<int>(ERROR_NOT_ENOUGH_MEMORY); }

}  // namespace kestrun::tags
