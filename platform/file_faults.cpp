// Fault injection of the file layer, linked into test programs only (see
// file_fault_point.h).
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

}  // namespace kestrun::platform
