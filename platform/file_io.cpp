// The parts of the file layer that are the same on every system.
#include "platform/file_io.h"

namespace kestrun::platform {

bool File::ReadExact(void* buffer, std::size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::size_t got = 0;
    if (!Read(out + done, count - done, got) || got == 0) return false;
    done += got;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& contents, std::uint64_t maxBytes) {
  File file;
  if (!file.Open(path, OpenMode::Read)) return false;
  std::uint64_t size = 0;
  if (!file.Size(size) || size > maxBytes) return false;
  std::string data(static_cast<std::size_t>(size), '\0');
  if (size != 0 && !file.ReadExact(data.data(), data.size())) return false;
  contents.swap(data);
  return true;
}

}  // namespace kestrun::platform
