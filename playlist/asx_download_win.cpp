// ASX download through urlmon's URLDownloadToFileA, bound at first use so the
// player starts even where urlmon is missing.
#include <windows.h>

#include "playlist/asx_file.h"

#include "platform/limits.h"

namespace kestrun::playlist {

namespace {

constexpr char kUrlmonLibrary[] = "urlmon.dll";
constexpr char kDownloadFunction[] = "URLDownloadToFileA";

using DownloadFn = HRESULT(WINAPI*)(void* caller, const char* url, const char* file, DWORD reserved, void* callback);

DownloadFn BindDownload() {
  static const DownloadFn bound = []() -> DownloadFn {
    HMODULE urlmon = LoadLibraryA(kUrlmonLibrary);
    if (urlmon == nullptr) return nullptr;
    return reinterpret_cast<DownloadFn>(reinterpret_cast<void*>(GetProcAddress(urlmon, kDownloadFunction)));
  }();
  return bound;
}

class UrlmonDownloader final : public AsxDownloader {
 public:
  bool TemporaryDirectory(std::string& directory) override {
    char buffer[platform::kPathCapacity + 1] = {};
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length >= sizeof buffer) return false;
    directory.assign(buffer, length);
    return true;
  }

  long Download(const std::string& url, const std::string& path) override {
    const DownloadFn download = BindDownload();
    if (download == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return download(nullptr, url.c_str(), path.c_str(), 0, nullptr);
  }
};

}  // namespace

long downloadAndReadAsx(const char* url, char* reference, char* title, char* author) {
  UrlmonDownloader downloader;
  return downloadAndReadAsx(downloader, url, reference, title, author);
}

}  // namespace kestrun::playlist
