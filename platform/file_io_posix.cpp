// POSIX side of the file layer, for native builds and tests.
#include "platform/file_fault_point.h"
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kestrun::platform {

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool File::Open(const std::string& path, OpenMode mode) {
  Close();
  if (InjectedFault(FileStep::Open)) return false;
  int flags = O_RDONLY;
  if (mode == OpenMode::ReadWrite) flags = O_RDWR;
  if (mode == OpenMode::Create) flags = O_RDWR | O_CREAT | O_TRUNC;
  fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  return fd_ >= 0;
}

bool File::IsOpen() const { return fd_ >= 0; }

void File::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool File::Size(std::uint64_t& size) {
  if (fd_ < 0 || InjectedFault(FileStep::Size)) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool File::Read(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  if (fd_ < 0 || InjectedFault(FileStep::Read)) return false;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    got = static_cast<std::size_t>(n);
    return true;
  }
}

bool File::Write(const void* buffer, std::size_t count) {
  if (fd_ < 0 || InjectedFault(FileStep::Write)) return false;
  const auto* p = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    const ssize_t n = ::write(fd_, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (fd_ < 0 || InjectedFault(FileStep::Seek)) return false;
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::TruncateHere() {
  if (fd_ < 0 || InjectedFault(FileStep::Truncate)) return false;
  const off_t here = ::lseek(fd_, 0, SEEK_CUR);
  return here >= 0 && ::ftruncate(fd_, here) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool IsMissingFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG;
}

bool DeleteFileAt(const std::string& path) {
  if (InjectedFault(FileStep::Delete)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool MoveFileTo(const std::string& from, const std::string& to) {
  if (InjectedFault(FileStep::Move)) return false;
  // link + unlink refuses an existing target, as MoveFile does on Windows.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  return ::unlink(from.c_str()) == 0;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
  if (InjectedFault(FileStep::Move)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool MakeTempFile(const std::string& directory, const std::string& prefix, std::string& path) {
  if (InjectedFault(FileStep::TempName)) return false;
  std::string pattern = directory;
  if (pattern.empty()) pattern = ".";
  if (pattern.back() != '/') pattern += '/';
  pattern += prefix.substr(0, 3) + "XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::close(fd);
  path = pattern;
  return true;
}

bool IsReadOnly(const std::string& path, bool& readOnly) {
  if (InjectedFault(FileStep::Attributes)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  readOnly = (st.st_mode & S_IWUSR) == 0;
  return true;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  if (InjectedFault(FileStep::Attributes)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
  return ::chmod(path.c_str(), mode) == 0;
}

}  // namespace kestrun::platform
