#include "platform/testing/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

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
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                 ec);
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

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = File(name);
  if (!WriteBytes(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string TempDir::Folder(const std::string& name) const {
  const std::string path = File(name);
  // The C runtime's call, so that a name reads as WriteBytes reads it (the ANSI code
  // page on Windows).
#ifdef _WIN32
  const int made = _mkdir(path.c_str());
#else
  const int made = mkdir(path.c_str(), 0777);
#endif
  if (made != 0 && errno != EEXIST) throw std::runtime_error("cannot make " + path);
  return path;
}

std::string SourceTreePath(const std::string& relative) {
  const char* source = std::getenv("KESTRUN_SOURCE_DIR");
  std::string dir = source != nullptr ? source : ".";
#ifdef _WIN32
  // Under Wine the source tree is reached through the drive that maps "/".
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
  return dir + "/" + relative;
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
