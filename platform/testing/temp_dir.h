// A scratch directory for tests, removed with everything in it at the end.
// Works natively and under Wine (where it lives in the Windows temp folder).
#pragma once

#include <string>

namespace kestrun::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string File(const std::string& name) const;
  // Writes bytes to the file name in the directory (replacing it) and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  // Makes the folder name in the directory and returns its path.
  std::string Folder(const std::string& name) const;

 private:
  std::string path_;
};

// A file of the source tree (fixtures kept beside the tests), by its path from the
// tree's root with "/" separators: under KESTRUN_SOURCE_DIR, or the current folder.
std::string SourceTreePath(const std::string& relative);

// Writes bytes to a file, replacing it; reads a whole file ("" when missing).
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

}  // namespace kestrun::testing
