#include "tags/id3/system_error.h"

#include <cerrno>

namespace kestrun::tags {

int LastSystemError() {
  const int code = errno;
  return (code == 0 || code == -1) ? EIO : code;
}

void ClearSystemError() { errno = 0; }

int OutOfMemoryError() { return ENOMEM; }

}  // namespace kestrun::tags
