#include "tags/id3/read_only_guard.h"

#include <utility>

#include "platform/file_io.h"

namespace kestrun::tags {

ReadOnlyGuard::ReadOnlyGuard(std::string path) : path_(std::move(path)) {
  bool readOnly = false;
  // When the attribute cannot be read, the write goes ahead and fails at the open
  // if the file really is read-only.
  if (platform::IsReadOnly(path_, readOnly) && readOnly) restore_ = platform::SetReadOnly(path_, false);
}

ReadOnlyGuard::~ReadOnlyGuard() {
  if (restore_) platform::SetReadOnly(path_, true);
}

}  // namespace kestrun::tags
