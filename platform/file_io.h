// A thin file layer over the Win32 file API (Windows) or POSIX (native builds).
//
// Paths are byte strings in the system's ANSI code page, as everywhere in the
// player. Every operation reports failure as false instead of throwing, so the
// callers (tag writers, playlist writers) can keep the user's file intact when
// any step fails.
//
// In test programs each step can be made to fail on purpose through FileFaults, so
// tests can prove that a writer leaves the original untouched whatever step breaks.
// The shipped program's file layer has no such hook.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrun::platform {

// The steps of the file layer that tests can make fail.
enum class FileStep { Open, Size, Read, Write, Seek, Truncate, TempName, Move, Delete, Attributes, Count };

// Fault injection for tests: FailAt(step, n) makes the n-th call (1-based) of that
// step from now on fail. Calls are counted per step. Reset() clears everything.
// Not thread-safe by design: used by single-threaded tests only. Defined only in
// test programs that link the file layer built for faults (kestrun_file_faults).
class FileFaults {
 public:
  static void FailAt(FileStep step, int nth);
  static void Reset();
  // How many times each step has been called since the last Reset().
  static int Calls(FileStep step);
  // Called by the file layer at the start of each step: true means "fail now".
  static bool ShouldFail(FileStep step);
};

enum class OpenMode {
  Read,       // existing file, read only
  ReadWrite,  // existing file, read and write, no truncation
  Create,     // create or truncate, read and write
};

// An open file. Move-only; closes on destruction.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open(const std::string& path, OpenMode mode);
  bool IsOpen() const;
  void Close();

  bool Size(std::uint64_t& size);
  // Reads up to count bytes; got receives how many were read (0 at end of file).
  bool Read(void* buffer, std::size_t count, std::size_t& got);
  // Reads exactly count bytes or fails.
  bool ReadExact(void* buffer, std::size_t count);
  bool Write(const void* buffer, std::size_t count);
  bool Seek(std::uint64_t offset);
  // Cuts the file at the current position.
  bool TruncateHere();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

bool FileExists(const std::string& path);
// True when the system says no file is there: the name or a folder on its way is
// not found, or it names a folder. Any other failure to look (access denied, a
// share that does not answer) is not called missing: the caller's own open decides.
bool IsMissingFile(const std::string& path);
bool DeleteFileAt(const std::string& path);
// Renames; fails when the target exists.
bool MoveFileTo(const std::string& from, const std::string& to);
// Renames, replacing the target if it exists (atomic where the system allows).
bool ReplaceFileWith(const std::string& from, const std::string& to);
// Creates an empty, uniquely named file in directory (like GetTempFileNameA with
// a three-letter prefix) and returns its path.
bool MakeTempFile(const std::string& directory, const std::string& prefix, std::string& path);
bool IsReadOnly(const std::string& path, bool& readOnly);
bool SetReadOnly(const std::string& path, bool readOnly);

// Reads a whole file into memory; fails on files larger than maxBytes.
bool ReadWholeFile(const std::string& path, std::string& contents, std::uint64_t maxBytes);

}  // namespace kestrun::platform
