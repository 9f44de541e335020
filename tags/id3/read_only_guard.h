// Clears a file's read-only attribute for the lifetime of the guard and puts it
// back afterwards, whether the write that needed it succeeded or not.
#pragma once

#include <string>

namespace kestrun::tags {

class ReadOnlyGuard {
 public:
  explicit ReadOnlyGuard(std::string path);
  ~ReadOnlyGuard();
  ReadOnlyGuard(const ReadOnlyGuard&) = delete;
  ReadOnlyGuard& operator=(const ReadOnlyGuard&) = delete;

 private:
  std::string path_;
  bool restore_ = false;
};

}  // namespace kestrun::tags
