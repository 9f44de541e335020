// Our own ASF metadata editor: reads the Header Object of a file into memory,
// answers and changes its attributes there, and on Flush writes the file anew
// through a temporary file in the same directory, so the original stays intact
// until the new file is complete.
#include <cstring>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "tags/wm/asf_header.h"
#include "tags/wm/wm_editor.h"
#include "tags/wm/wm_text.h"

namespace kestrun::tags {
namespace {

namespace fs = kestrun::platform;

constexpr const char* kTempPrefix = "kwm";
constexpr std::size_t kCopyChunkBytes = 1 << 20;
// Paths are handed over as UTF-16 of at most this many units.
constexpr std::size_t kMaxPathUnits = 260;

bool ReadHeaderBytes(fs::File& file, std::string& bytes, std::uint64_t& fileSize) {
  if (!file.Size(fileSize) || fileSize < kAsfHeaderPrefixBytes) return false;
  std::uint8_t prefix[kAsfHeaderPrefixBytes];
  if (!file.Seek(0) || !file.ReadExact(prefix, sizeof prefix)) return false;
  std::uint64_t size = 0;
  if (!ReadAsfHeaderSize(prefix, size) || size > fileSize) return false;
  bytes.assign(reinterpret_cast<const char*>(prefix), sizeof prefix);
  bytes.resize(static_cast<std::size_t>(size));
  return size == sizeof prefix || file.ReadExact(bytes.data() + sizeof prefix, bytes.size() - sizeof prefix);
}

class AsfFileEditor final : public WmMetadataEditor, private WmHeaderInfo {
 public:
  WmResult Open(const char16_t* path) override {
    if (open_) return kWmInvalidRequest;
    if (path == nullptr) return kWmInvalidArg;
    const std::u16string_view wide(path);
    if (wide.empty() || wide.size() > kMaxPathUnits) return kWmInvalidArg;
    path_ = WideToAnsiText(wide);

    fs::File file;
    if (!file.Open(path_, fs::OpenMode::Read)) return kWmFail;
    std::string bytes;
    std::uint64_t fileSize = 0;
    if (!ReadHeaderBytes(file, bytes, fileSize)) return kWmInvalidData;
    AsfHeader header;
    if (!header.Parse({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})) return kWmInvalidData;
    header_ = std::move(header);
    headerBytes_ = std::move(bytes);
    changed_ = false;
    open_ = true;
    return kWmOk;
  }

  // Like the runtime's editor, Flush saves the changes and closes the file.
  WmResult Flush() override {
    if (!open_) return kWmInvalidRequest;
    if (changed_ && !WriteFile(header_.Serialize())) return kWmFail;
    return Close();
  }

  // Closes without saving; always succeeds, as the runtime's Close does.
  WmResult Close() override {
    open_ = false;
    header_ = AsfHeader{};
    headerBytes_.clear();
    changed_ = false;
    return kWmOk;
  }

  WmHeaderInfo* HeaderInfo() override { return open_ ? this : nullptr; }
  WmEditorKind Kind() const override { return WmEditorKind::Own; }

 private:
  WmResult GetAttributeByName(std::uint16_t* stream, const char16_t* name, WmAttrType* type, std::uint8_t* value,
                              std::uint16_t* length) override {
    if (stream == nullptr || name == nullptr || type == nullptr || length == nullptr) return kWmInvalidArg;
    if (*stream != kWmFileLevelStream) return kWmNotFound;
    std::string bytes;
    WmAttrType found{};
    if (const WmResult r = header_.Get(name, found, bytes); !WmSucceeded(r)) return r;
    if (value != nullptr) {
      if (*length < bytes.size()) return kWmInvalidArg;
      std::memcpy(value, bytes.data(), bytes.size());
    }
    *type = found;
    *length = static_cast<std::uint16_t>(bytes.size());
    return kWmOk;
  }

  WmResult SetAttribute(std::uint16_t stream, const char16_t* name, WmAttrType type, const std::uint8_t* value,
                        std::uint16_t length) override {
    if (name == nullptr || (value == nullptr && length != 0)) return kWmInvalidArg;
    if (stream != kWmFileLevelStream) return kWmInvalidArg;
    std::string bytes = length == 0 ? std::string() : std::string(reinterpret_cast<const char*>(value), length);
    const WmResult r = header_.Set(name, type, std::move(bytes));
    if (WmSucceeded(r)) changed_ = true;
    return r;
  }

  // Writes new header + the rest of the original into a temporary file, then puts
  // it in the original's place. Any failure leaves the original as it was.
  bool WriteFile(const std::string& newHeader) {
    bool readOnly = false;
    if (!fs::IsReadOnly(path_, readOnly) || readOnly) return false;
    fs::File source;
    if (!source.Open(path_, fs::OpenMode::Read)) return false;
    std::string current;
    std::uint64_t fileSize = 0;
    // The file must still start with the header we read; otherwise someone else
    // changed it since Open and writing our header would mix two versions.
    if (!ReadHeaderBytes(source, current, fileSize) || current != headerBytes_) return false;

    std::string tempPath;
    if (!fs::MakeTempFile(platform::DirectoryOf(path_), kTempPrefix, tempPath)) return false;
    bool ok = CopyWithHeader(source, fileSize, newHeader, tempPath);
    source.Close();
    if (ok) ok = fs::ReplaceFileWith(tempPath, path_);
    if (!ok) fs::DeleteFileAt(tempPath);
    return ok;
  }

  bool CopyWithHeader(fs::File& source, std::uint64_t fileSize, const std::string& newHeader,
                      const std::string& tempPath) {
    fs::File target;
    if (!target.Open(tempPath, fs::OpenMode::Create)) return false;
    if (!target.Write(newHeader.data(), newHeader.size())) return false;
    if (!source.Seek(headerBytes_.size())) return false;
    std::vector<char> buffer(kCopyChunkBytes);
    std::uint64_t left = fileSize - headerBytes_.size();
    while (left > 0) {
      const std::size_t want = left < buffer.size() ? static_cast<std::size_t>(left) : buffer.size();
      if (!source.ReadExact(buffer.data(), want) || !target.Write(buffer.data(), want)) return false;
      left -= want;
    }
    std::uint64_t written = 0;
    return target.Size(written) && written == newHeader.size() + (fileSize - headerBytes_.size());
  }

  bool open_ = false;
  bool changed_ = false;
  std::string path_;
  std::string headerBytes_;
  AsfHeader header_;
};

}  // namespace

std::unique_ptr<WmMetadataEditor> CreateAsfFileEditor() { return std::make_unique<AsfFileEditor>(); }

}  // namespace kestrun::tags
