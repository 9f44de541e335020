#include "platform/testing/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace kestrun::testing {

TempDir::TempDir() {
  std::random_device rd;
  std::error_code ec;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "kestrun-test-" << std::hex << rd() << rd();
    const auto candidate = std::filesystem::temp_directory_path(ec) / name.str();
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files left by tests must not block the clean-up.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const {
#ifdef _WIN32
  return path_ + "\\" + name;
#else
  return path_ + "/" + name;
#endif
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace kestrun::testing
