// Reading single-reference ASX metafiles, from a local file or from a URL.
//
// The player only needs three things from an ASX file: the first media reference
// and the first title and author texts. The reference comes back in lower case,
// as the media session expects it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/limits.h"

namespace kestrun::playlist {

// Caller buffer sizes, terminator included: the reference is a path or URL
// (platform::kPathCapacity), title and author are kAsxTextSize.
inline constexpr std::size_t kAsxTextSize = 128;

// A failure that happened on our side of a download (no temporary file, or the
// downloaded file could not be read): E_FAIL.
inline constexpr long kAsxLocalFailure = -2147467259L;  // 0x80004005

struct AsxInfo {
  std::string reference;  // at most 259 bytes, lower case, unquoted
  std::string title;      // at most 127 bytes
  std::string author;     // at most 127 bytes
};

// Extracts reference, title and author from the text of an ASX file. Never fails:
// what is missing comes back empty.
AsxInfo ParseAsx(std::string_view text);

// Reads an ASX file. False when the file cannot be read (it is not created).
bool ReadAsx(const std::string& path, AsxInfo& info);

// Reads an ASX file into the caller's buffers (reference 260 bytes, title and
// author 128 bytes each). Returns 1 on success, 0 when the file could not be read;
// on 0 the buffers hold empty texts.
int readAsxFile(const char* path, char* reference, char* title, char* author);

// The platform side of a download, so the steps around it can be tested anywhere.
class AsxDownloader {
 public:
  virtual ~AsxDownloader() = default;
  // The directory for the temporary file; false when there is none.
  virtual bool TemporaryDirectory(std::string& directory) = 0;
  // Downloads url into the existing file at path; an HRESULT (negative on failure).
  virtual long Download(const std::string& url, const std::string& path) = 0;
};

// Downloads url into a temporary file named with the prefix "qnf", reads it as
// readAsxFile does and deletes it. Returns 0 on success, else a negative error:
// the download's own error, or kAsxLocalFailure. No temporary file is left behind
// in any case; on failure the buffers hold empty texts.
long downloadAndReadAsx(AsxDownloader& downloader, const char* url, char* reference, char* title, char* author);

#ifdef _WIN32
// The same through the system's URL download call into the user's temporary folder.
long downloadAndReadAsx(const char* url, char* reference, char* title, char* author);
#endif

}  // namespace kestrun::playlist
