// The metadata editor the Windows Media tag code works through.
//
// The shapes follow the Windows Media Format runtime's metadata editor (open a
// file, read and set typed attributes by name, flush, close) so that the tag code
// is the same whichever editor answers. Two editors implement it: the runtime's
// own (Windows, when WMVCore.DLL offers a working WMCreateEditor) and our ASF
// header editor (everywhere else, and whenever the runtime fails).
#pragma once

#include <cstdint>
#include <memory>

namespace kestrun::tags {

// Result codes carry the runtime's HRESULT values unchanged; ours use the same
// numbering so callers test them one way.
using WmResult = std::int32_t;
inline constexpr WmResult kWmOk = 0;
inline constexpr WmResult kWmNotImplemented = static_cast<WmResult>(0x80004001);
inline constexpr WmResult kWmFail = static_cast<WmResult>(0x80004005);
inline constexpr WmResult kWmInvalidArg = static_cast<WmResult>(0x80070057);
inline constexpr WmResult kWmOutOfMemory = static_cast<WmResult>(0x8007000E);
// The file is not an ASF file, or its header is damaged.
inline constexpr WmResult kWmInvalidData = static_cast<WmResult>(0x8007000D);
// The named attribute is not in the header.
inline constexpr WmResult kWmNotFound = static_cast<WmResult>(0xC00D07F0);
// Open on an open editor, or Flush on a closed one.
inline constexpr WmResult kWmInvalidRequest = static_cast<WmResult>(0xC00D002B);

inline constexpr bool WmSucceeded(WmResult result) { return result >= 0; }

// Attribute value types, numbered as the runtime numbers them.
enum class WmAttrType : std::uint16_t {
  Dword = 0,   // 32-bit number
  String = 1,  // UTF-16 text with its terminating zero
  Binary = 2,
  Bool = 3,   // 32 bits
  Qword = 4,  // 64-bit number
  Word = 5,   // 16-bit number
  Guid = 6,
};

// The file-level attributes live on stream 0.
inline constexpr std::uint16_t kWmFileLevelStream = 0;

class WmHeaderInfo {
 public:
  virtual ~WmHeaderInfo() = default;
  // With value == nullptr: reports the type and the byte length only. With a
  // buffer: *length is its size on entry and the value's size on return; a buffer
  // that is too small fails with kWmInvalidArg and leaves it untouched.
  virtual WmResult GetAttributeByName(std::uint16_t* stream, const char16_t* name, WmAttrType* type,
                                      std::uint8_t* value, std::uint16_t* length) = 0;
  // Adds the attribute or replaces its value.
  virtual WmResult SetAttribute(std::uint16_t stream, const char16_t* name, WmAttrType type, const std::uint8_t* value,
                                std::uint16_t length) = 0;
};

enum class WmEditorKind { Runtime, Own };

class WmMetadataEditor {
 public:
  virtual ~WmMetadataEditor() = default;
  virtual WmResult Open(const char16_t* path) = 0;
  // Writes the changed attributes into the file and closes it.
  virtual WmResult Flush() = 0;
  // Closes the file without saving; closing a closed editor is no failure.
  virtual WmResult Close() = 0;
  // The open file's attributes; nullptr when no file is open.
  virtual WmHeaderInfo* HeaderInfo() = 0;
  // Which editor answered the last Open (for diagnostics and tests).
  virtual WmEditorKind Kind() const = 0;
};

// A new editor. On Windows the runtime is bound at the first call and tried first
// on every Open; our ASF editor takes over when the runtime is missing or fails.
std::unique_ptr<WmMetadataEditor> CreateWmEditor();

// Our ASF header editor on its own, on every platform.
std::unique_ptr<WmMetadataEditor> CreateAsfFileEditor();

// COM is initialised for the duration of each file operation (nothing natively).
class WmComScope {
 public:
  WmComScope();
  ~WmComScope();
  WmComScope(const WmComScope&) = delete;
  WmComScope& operator=(const WmComScope&) = delete;

 private:
  [[maybe_unused]] bool initialised_ = false;
};

}  // namespace kestrun::tags
