// Decoded audio from a file through Media Foundation's source reader: the first
// audio stream as 16-bit PCM (the equalizer's format), its length, seeking, and
// reads that never wait longer than a bound. Used by the player's own source filter
// for files DirectShow has no splitter for, and by length measuring.
//
// The reader runs in its asynchronous mode, so every read is a request answered on
// a Media Foundation worker thread; the caller waits for the answer with a time-out
// and a read that does not come back in time fails instead of hanging the caller.
// One thread at a time uses a reader (the filter's streaming thread while it runs,
// the thread that controls the filter otherwise).
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

// One block of decoded PCM and the media time of its first byte (100 ns units).
struct PcmChunk {
  std::vector<BYTE> bytes;
  std::int64_t time = 0;
};

class MfAudioReader {
 public:
  // How long opening a file, and each read, may take before the file counts as
  // unreadable.
  static constexpr DWORD kOpenTimeoutMs = 5000;
  static constexpr DWORD kReadTimeoutMs = 10000;

  enum class ReadResult { Data, End, Failed };

  MfAudioReader();
  ~MfAudioReader();
  MfAudioReader(const MfAudioReader&) = delete;
  MfAudioReader& operator=(const MfAudioReader&) = delete;

  // Opens a local file and sets its first audio stream to decode to 16-bit PCM.
  // Media Foundation must be started (MediaFoundationRuntime) for as long as the
  // reader lives. Fails for a file without a decodable audio stream.
  HRESULT Open(const wchar_t* path);
  // A plain PCM format: the stream's channels and rate at 16 bits.
  const WAVEFORMATEX& format() const { return format_; }
  // 0 when the source does not tell.
  std::int64_t duration() const { return duration_; }
  bool canSeek() const { return canSeek_; }

  // The next block of PCM; End at the end of the stream, Failed on a decoding error
  // or when the answer did not come within kReadTimeoutMs (the reader is then
  // unusable: every later call fails).
  ReadResult Read(PcmChunk& chunk);
  // Moves the reading position (100 ns units). No read may be outstanding.
  HRESULT Seek(std::int64_t position);

 private:
  class Callback;

  Microsoft::WRL::ComPtr<Callback> callback_;
  Microsoft::WRL::ComPtr<IMFSourceReader> reader_;
  WAVEFORMATEX format_{};
  std::int64_t duration_ = 0;
  bool canSeek_ = false;
  bool broken_ = false;
};

}  // namespace kestrun::playback
