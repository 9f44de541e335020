#include "platform/file_io.h"

#include <array>

namespace kestrun::platform {
namespace {

constexpr std::size_t kStepCount = static_cast<std::size_t>(FileStep::Count);

struct FaultState {
  std::array<int, kStepCount> calls{};
  std::array<int, kStepCount> failAt{};  // 0 = never
};

FaultState& State() {
  static FaultState state;
  return state;
}

}  // namespace

void FileFaults::FailAt(FileStep step, int nth) {
  auto& s = State();
  const auto i = static_cast<std::size_t>(step);
  s.failAt[i] = s.calls[i] + nth;
}

void FileFaults::Reset() { State() = FaultState{}; }

int FileFaults::Calls(FileStep step) { return State().calls[static_cast<std::size_t>(step)]; }

bool FileFaults::ShouldFail(FileStep step) {
  auto& s = State();
  const auto i = static_cast<std::size_t>(step);
  ++s.calls[i];
  return s.failAt[i] != 0 && s.calls[i] == s.failAt[i];
}

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
