#include "playback/frame_file.h"

#include <cstdio>
#include <cstdlib>
#include <span>

#include "platform/byte_reader.h"
#include "platform/file_io.h"

namespace kestrun::playback {
namespace {

constexpr std::uint16_t kBitmapFileType = 0x4D42;  // "BM"
constexpr std::uint16_t kFramePixelBits = 24;
constexpr std::uint32_t kUncompressed = 0;  // BI_RGB
constexpr char kFrameNameFormat[] = "%s\\image%02d.bmp";
constexpr char kTempPrefix[] = "cap";

void AppendUint16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void AppendUint32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace

std::uint32_t FrameRowBytes(std::int32_t width) {
  if (width <= 0 || width > kMaxFrameSide) return 0;
  return (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
}

bool BuildFrameFile(const std::uint8_t* infoHeader, std::size_t infoHeaderSize, const std::uint8_t* pixels,
                    std::size_t pixelBytes, std::string& file) {
  if (infoHeader == nullptr || infoHeaderSize != kBitmapInfoHeaderSize || pixels == nullptr) return false;
  platform::ByteReader header(std::span(infoHeader, infoHeaderSize));
  const std::uint32_t headerSize = header.U32();
  const auto width = static_cast<std::int32_t>(header.U32());
  const auto height = static_cast<std::int32_t>(header.U32());
  header.Skip(2);  // planes
  const std::uint16_t pixelBits = header.U16();
  const std::uint32_t compression = header.U32();
  // The header's own size field must agree, or the pixels would be read at the wrong offset.
  if (!header.ok() || headerSize != kBitmapInfoHeaderSize) return false;
  if (pixelBits != kFramePixelBits || compression != kUncompressed) return false;
  const std::uint32_t rowBytes = FrameRowBytes(width);
  // A negative height is a top-down frame; the file keeps it so, with the header saying so.
  const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (rowBytes == 0 || rows == 0 || rows > kMaxFrameSide) return false;
  const std::uint64_t imageSize = static_cast<std::uint64_t>(rows) * rowBytes;
  if (pixelBytes < imageSize) return false;

  const std::uint32_t pixelOffset = static_cast<std::uint32_t>(kBitmapFileHeaderSize + kBitmapInfoHeaderSize);
  file.clear();
  file.reserve(pixelOffset + imageSize);
  AppendUint16(file, kBitmapFileType);
  AppendUint32(file, static_cast<std::uint32_t>(pixelOffset + imageSize));
  AppendUint16(file, 0);
  AppendUint16(file, 0);
  AppendUint32(file, pixelOffset);
  file.append(reinterpret_cast<const char*>(infoHeader), kBitmapInfoHeaderSize);
  file.append(reinterpret_cast<const char*>(pixels), static_cast<std::size_t>(imageSize));
  return true;
}

std::string FrameFileName(const std::string& directory, int counter) {
  const int length = std::snprintf(nullptr, 0, kFrameNameFormat, directory.c_str(), counter);
  if (length < 0) return {};
  std::string name(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(name.data(), name.size(), kFrameNameFormat, directory.c_str(), counter);
  name.resize(static_cast<std::size_t>(length));
  return name;
}

bool WriteNumberedFrameFile(const std::string& tempDirectory, const std::function<std::string(int)>& nameFor,
                            int& counter, const std::string& contents, std::string& writtenName) {
  if (counter < 0 || counter >= kFrameCounterLimit) return false;
  std::string temp;
  if (!platform::MakeTempFile(tempDirectory, kTempPrefix, temp)) return false;
  {
    platform::File file;
    const bool written = file.Open(temp, platform::OpenMode::Create) && file.Write(contents.data(), contents.size());
    file.Close();
    if (!written) {
      platform::DeleteFileAt(temp);
      return false;
    }
  }
  for (int number = counter; number < kFrameCounterLimit; ++number) {
    const std::string name = nameFor(number);
    if (platform::FileExists(name)) continue;
    // The rename refuses an existing target, so a file that appeared meanwhile survives too.
    if (platform::MoveFileTo(temp, name)) {
      counter = number + 1;
      writtenName = name;
      return true;
    }
    // Anything but a name taken meanwhile (a full disk, a folder without rights) ends the search.
    if (!platform::FileExists(name)) break;
  }
  platform::DeleteFileAt(temp);
  return false;
}

}  // namespace kestrun::playback
