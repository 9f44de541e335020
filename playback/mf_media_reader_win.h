// Decoded media from a file through Media Foundation's source reader: the first
// audio stream as 16-bit PCM (the equalizer's format) and, when asked for, the first
// video stream as NV12 frames (what the decoders give everywhere), the length,
// seeking, and reads that never wait longer than a bound. Used by the player's own source filter
// for files DirectShow has no splitter for, and by length measuring.
//
// The reader runs in its asynchronous mode, so every read is a request answered on
// a Media Foundation worker thread; the caller waits for the answer with a time-out
// and a read that does not come back in time fails instead of hanging the caller.
// One thread at a time reads each stream (the filter's streaming thread of that
// stream while it runs); seeking needs every read answered first.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <vector>

namespace kestrun::playback {

// Media Foundation started for this object's lifetime (MFStartup counts; every
// successful start needs its own MFShutdown). Objects of the platform must be
// released before the runtime that made them goes.
class MediaFoundationRuntime {
 public:
  MediaFoundationRuntime() noexcept;
  ~MediaFoundationRuntime();
  MediaFoundationRuntime(const MediaFoundationRuntime&) = delete;
  MediaFoundationRuntime& operator=(const MediaFoundationRuntime&) = delete;
  bool ok() const noexcept { return SUCCEEDED(result_); }
  HRESULT result() const noexcept { return result_; }

 private:
  const HRESULT result_;
};

enum class MfStream { Audio, Video };

// Frames of the video stream: NV12 rows of `stride` bytes, the chroma plane after
// `lumaRows` rows of luma.
struct NvFrameFormat {
  UINT32 width = 0;
  UINT32 height = 0;
  // 100 ns units per frame.
  std::int64_t frameTime = 0;
};

// One block of decoded PCM, or one NV12 frame, and the media time of its first
// byte (100 ns units).
struct MediaChunk {
  std::vector<BYTE> bytes;
  std::int64_t time = 0;
};

class MfMediaReader {
 public:
  // How long opening a file, and each read, may take before the file counts as
  // unreadable.
  static constexpr DWORD kOpenTimeoutMs = 5000;
  static constexpr DWORD kReadTimeoutMs = 10000;

  enum class ReadResult { Data, End, Failed };

  MfMediaReader();
  ~MfMediaReader();
  MfMediaReader(const MfMediaReader&) = delete;
  MfMediaReader& operator=(const MfMediaReader&) = delete;

  // Opens a local file and sets its first audio stream to decode to 16-bit PCM and,
  // with withVideo, its first video stream (if any) to NV12. Media Foundation must
  // be started (MediaFoundationRuntime) for as long as the reader lives. Fails for a
  // file without a decodable audio stream (or, with withVideo, video stream).
  HRESULT Open(const wchar_t* path, bool withVideo = false);
  bool hasAudio() const { return hasAudio_; }
  bool hasVideo() const { return videoIndex_ != kNoStream; }
  const NvFrameFormat& videoFormat() const { return video_; }
  // A plain PCM format: the stream's channels and rate at 16 bits (with hasAudio).
  const WAVEFORMATEX& format() const { return format_; }
  // 0 when the source does not tell.
  std::int64_t duration() const { return duration_; }
  bool canSeek() const { return canSeek_; }

  // The next block of PCM; End at the end of the stream, Failed on a decoding error
  // or when the answer did not come within kReadTimeoutMs (the reader is then
  // unusable: every later call fails).
  ReadResult Read(MfStream stream, MediaChunk& chunk);
  // Moves the reading position (100 ns units). No read may be outstanding.
  HRESULT Seek(std::int64_t position);

 private:
  class Callback;
  static constexpr DWORD kNoStream = 0xFFFFFFFF;

  HRESULT SelectAudio();
  HRESULT SelectVideo();

  Microsoft::WRL::ComPtr<Callback> callback_;
  Microsoft::WRL::ComPtr<IMFSourceReader> reader_;
  WAVEFORMATEX format_{};
  DWORD audioIndex_ = kNoStream;
  bool hasAudio_ = false;
  DWORD videoIndex_ = kNoStream;
  NvFrameFormat video_;
  std::int64_t duration_ = 0;
  bool canSeek_ = false;
  bool broken_ = false;
};

}  // namespace kestrun::playback
