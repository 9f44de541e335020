// Win32 side of the file layer: the ANSI file API, so paths stay in the system's
// code page as the rest of the player handles them.
#include <windows.h>

#include "platform/file_fault_point.h"
#include "platform/file_io.h"
#include "platform/limits.h"

namespace kestrun::platform {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  if (InjectedFault(FileStep::Open)) return false;
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  DWORD share = FILE_SHARE_READ;
  if (mode == OpenMode::ReadWrite) access |= GENERIC_WRITE;
  if (mode == OpenMode::Create) {
    access |= GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  }
  if (mode == OpenMode::Read) share |= FILE_SHARE_WRITE;
  HANDLE h = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool File::IsOpen() const { return handle_ != nullptr; }

void File::Close() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool File::Size(std::uint64_t& size) {
  if (handle_ == nullptr || InjectedFault(FileStep::Size)) return false;
  LARGE_INTEGER li{};
  if (!GetFileSizeEx(static_cast<HANDLE>(handle_), &li)) return false;
  size = static_cast<std::uint64_t>(li.QuadPart);
  return true;
}

bool File::Read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  if (handle_ == nullptr || InjectedFault(FileStep::Read)) return false;
  const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  DWORD read = 0;
  if (!ReadFile(static_cast<HANDLE>(handle_), buffer, chunk, &read, nullptr)) return false;
  got = read;
  return true;
}

bool File::Write(const void* buffer, std::size_t count) {
  if (handle_ == nullptr || InjectedFault(FileStep::Write)) return false;
  const auto* p = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(handle_), p, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    p += written;
    count -= written;
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (handle_ == nullptr || InjectedFault(FileStep::Seek)) return false;
  LARGE_INTEGER li{};
  li.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(static_cast<HANDLE>(handle_), li, nullptr, FILE_BEGIN) != 0;
}

bool File::TruncateHere() {
  if (handle_ == nullptr || InjectedFault(FileStep::Truncate)) return false;
  return SetEndOfFile(static_cast<HANDLE>(handle_)) != 0;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsMissingFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
      return true;
    default:
      return false;
  }
}

bool DeleteFileAt(const std::string& path) {
  if (InjectedFault(FileStep::Delete)) return false;
  return DeleteFileA(path.c_str()) != 0;
}

bool MoveFileTo(const std::string& from, const std::string& to) {
  if (InjectedFault(FileStep::Move)) return false;
  return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  if (InjectedFault(FileStep::Move)) return false;
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool MakeTempFile(const std::string& directory, const std::string& prefix, std::string& path) {
  if (InjectedFault(FileStep::TempName)) return false;
  char buffer[kPathCapacity] = {};
  const std::string dir = directory.empty() ? std::string(".") : directory;
  if (GetTempFileNameA(dir.c_str(), prefix.c_str(), 0, buffer) == 0) return false;
  path = buffer;
  return true;
}

bool IsReadOnly(const std::string& path, bool& readOnly) {
  if (InjectedFault(FileStep::Attributes)) return false;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  if (InjectedFault(FileStep::Attributes)) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

}  // namespace kestrun::platform
