#include "playback/mf_media_reader_win.h"

#include <mfapi.h>
#include <mferror.h>

#include <cstring>
#include <atomic>
#include <mutex>
#include <new>
#include <utility>

#include "platform/com_object_win.h"
#include "platform/win32_handles_win.h"
#include "playback/iso_media_check.h"

namespace kestrun::playback {

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD kAudioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
constexpr WORD kPcmBits = 16;

}  // namespace

MediaFoundationRuntime::MediaFoundationRuntime() noexcept : result_(MFStartup(MF_VERSION, MFSTARTUP_LITE)) {}

MediaFoundationRuntime::~MediaFoundationRuntime() {
  if (ok()) MFShutdown();
}

// Receives the answers of the asynchronous reader on Media Foundation's worker
// threads and hands each stream's latest one to the thread waiting for it.
class MfMediaReader::Callback final : public platform::ComObject<IMFSourceReaderCallback> {
 public:
  struct Answer {
    HRESULT status = E_FAIL;
    DWORD flags = 0;
    LONGLONG time = 0;
    ComPtr<IMFSample> sample;
  };

  Callback() {
    for (Slot& slot : slots_) slot.ready.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  }
  bool ok() const { return slots_[0].ready && slots_[1].ready; }
  // The reader's index of the video stream; answers of every other stream are audio's.
  void SetVideoIndex(DWORD index) { videoIndex_ = index; }

  HRESULT STDMETHODCALLTYPE OnReadSample(HRESULT status, DWORD index, DWORD flags, LONGLONG time,
                                         IMFSample* sample) override {
    Slot& slot = slots_[index == videoIndex_ ? 1 : 0];
    {
      std::lock_guard<std::mutex> lock(lock_);
      slot.answer.status = status;
      slot.answer.flags = flags;
      slot.answer.time = time;
      slot.answer.sample = sample;
    }
    SetEvent(slot.ready.get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFlush(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnEvent(DWORD, IMFMediaEvent*) override { return S_OK; }

  // Waits for the answer to the stream's one outstanding request; false on time-out.
  bool Wait(MfStream stream, Answer& answer) {
    Slot& slot = slots_[stream == MfStream::Video ? 1 : 0];
    if (WaitForSingleObject(slot.ready.get(), kReadTimeoutMs) != WAIT_OBJECT_0) return false;
    std::lock_guard<std::mutex> lock(lock_);
    answer = std::move(slot.answer);
    slot.answer = Answer{};
    return true;
  }

 private:
  struct Slot {
    platform::KernelHandle ready;
    Answer answer;
  };
  ~Callback() override = default;

  std::atomic<DWORD> videoIndex_{kNoStream};
  std::mutex lock_;
  Slot slots_[2];
};

namespace {

// Receives the media source that the source resolver makes for a file, on a Media
// Foundation worker thread, and hands it to the thread waiting in Wait.
class SourceOpening final : public platform::ComObject<IMFAsyncCallback> {
 public:
  explicit SourceOpening(ComPtr<IMFSourceResolver> resolver)
      : resolver_(std::move(resolver)), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  bool ok() const { return static_cast<bool>(done_); }

  HRESULT STDMETHODCALLTYPE GetParameters(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(IMFAsyncResult* result) override {
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    ComPtr<IUnknown> object;
    const HRESULT hr = resolver_->EndCreateObjectFromURL(result, &type, &object);
    {
      std::lock_guard<std::mutex> lock(lock_);
      status_ = hr;
      if (SUCCEEDED(hr)) object.As(&source_);
    }
    SetEvent(done_.get());
    return S_OK;
  }

  // The source, or the failure; a time-out when the resolver did not answer in time.
  HRESULT Wait(DWORD timeoutMs, ComPtr<IMFMediaSource>& source) {
    if (WaitForSingleObject(done_.get(), timeoutMs) != WAIT_OBJECT_0) return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    std::lock_guard<std::mutex> lock(lock_);
    if (FAILED(status_)) return status_;
    if (!source_) return MF_E_UNSUPPORTED_BYTESTREAM_TYPE;
    source = std::move(source_);
    return S_OK;
  }

 private:
  ~SourceOpening() override {
    // An answer that came after the waiter gave up: the source is nobody's.
    if (source_) source_->Shutdown();
  }

  const ComPtr<IMFSourceResolver> resolver_;
  platform::KernelHandle done_;
  std::mutex lock_;
  HRESULT status_ = E_PENDING;
  ComPtr<IMFMediaSource> source_;
};

// Makes the media source for a file without waiting longer than timeoutMs: a
// damaged file can keep the platform's parser from ever answering.
HRESULT OpenMediaSource(const wchar_t* path, DWORD timeoutMs, ComPtr<IMFMediaSource>& source) {
  ComPtr<IMFSourceResolver> resolver;
  HRESULT hr = MFCreateSourceResolver(&resolver);
  if (FAILED(hr)) return hr;
  ComPtr<SourceOpening> opening;
  opening.Attach(new (std::nothrow) SourceOpening(resolver));
  if (!opening || !opening->ok()) return E_OUTOFMEMORY;
  ComPtr<IUnknown> cancel;
  hr = resolver->BeginCreateObjectFromURL(path, MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_READ, nullptr, &cancel,
                                          opening.Get(), nullptr);
  if (FAILED(hr)) return hr;
  hr = opening->Wait(timeoutMs, source);
  if (hr == HRESULT_FROM_WIN32(ERROR_TIMEOUT) && cancel) resolver->CancelObjectCreation(cancel.Get());
  return hr;
}

// Whether the file is MPEG-4 cut off before its movie box.
bool IsIsoMediaWithoutMovie(const wchar_t* path) {
  platform::FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return false;
  const auto read = [&](std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    return SetFilePointerEx(file.get(), to, nullptr, FILE_BEGIN) &&
           ReadFile(file.get(), out, static_cast<DWORD>(count), &got, nullptr) && got == count;
  };
  return FindIsoMovie(static_cast<std::uint64_t>(size.QuadPart), read) == IsoMovie::Missing;
}

// Sets a stream to decode to subtype (16-bit for PCM) and gives the type it got.
HRESULT DecodeTo(IMFSourceReader* reader, DWORD stream, const GUID& major, const GUID& subtype,
                 ComPtr<IMFMediaType>& current) {
  ComPtr<IMFMediaType> wanted;
  HRESULT hr = MFCreateMediaType(&wanted);
  if (SUCCEEDED(hr)) hr = wanted->SetGUID(MF_MT_MAJOR_TYPE, major);
  if (SUCCEEDED(hr)) hr = wanted->SetGUID(MF_MT_SUBTYPE, subtype);
  if (SUCCEEDED(hr) && subtype == MFAudioFormat_PCM) hr = wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, kPcmBits);
  if (SUCCEEDED(hr)) hr = reader->SetCurrentMediaType(stream, nullptr, wanted.Get());
  if (SUCCEEDED(hr)) hr = reader->GetCurrentMediaType(stream, &current);
  return hr;
}

}  // namespace

MfMediaReader::MfMediaReader() = default;

MfMediaReader::~MfMediaReader() {
  // Shutting the source down ends a request still outstanding after a time-out, so
  // no worker thread reads the file on after this.
  if (reader_ && broken_) {
    ComPtr<IMFMediaSource> source;
    if (SUCCEEDED(reader_->GetServiceForStream(MF_SOURCE_READER_MEDIASOURCE, GUID_NULL, IID_PPV_ARGS(&source)))) {
      source->Shutdown();
    }
  }
}

HRESULT MfMediaReader::Open(const wchar_t* path, bool withVideo) {
  if (path == nullptr || path[0] == L'\0') return E_INVALIDARG;
  if (reader_) return E_UNEXPECTED;
  // Media Foundation cannot use such a file anyway, and one platform's MPEG-4
  // parser never answers for it, keeping a worker thread of the process for good.
  if (IsIsoMediaWithoutMovie(path)) return MF_E_UNSUPPORTED_FORMAT;
  callback_.Attach(new (std::nothrow) Callback);
  if (!callback_ || !callback_->ok()) return E_OUTOFMEMORY;

  ComPtr<IMFAttributes> attributes;
  HRESULT hr = MFCreateAttributes(&attributes, 1);
  if (SUCCEEDED(hr)) hr = attributes->SetUnknown(MF_SOURCE_READER_ASYNC_CALLBACK, callback_.Get());
  ComPtr<IMFMediaSource> source;
  if (SUCCEEDED(hr)) hr = OpenMediaSource(path, kOpenTimeoutMs, source);
  // The reader shuts the source down when it goes.
  if (SUCCEEDED(hr)) hr = MFCreateSourceReaderFromMediaSource(source.Get(), attributes.Get(), &reader_);
  if (FAILED(hr) && source) source->Shutdown();
  if (FAILED(hr)) {
    reader_.Reset();
    return hr;
  }

  // Only the streams read are selected: one left selected unread would queue its
  // samples in the reader for ever.
  hr = reader_->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE);
  const HRESULT audio = SUCCEEDED(hr) ? SelectAudio() : hr;
  // A video stream that cannot be decoded leaves the file playable as sound; a
  // picture without sound plays too.
  if (SUCCEEDED(hr) && withVideo && FAILED(SelectVideo())) videoIndex_ = kNoStream;
  if (FAILED(audio) && !hasVideo()) {
    reader_.Reset();
    return audio;
  }
  if (FAILED(audio)) reader_->SetStreamSelection(kAudioStream, FALSE);

  PROPVARIANT value;
  PropVariantInit(&value);
  if (SUCCEEDED(reader_->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION, &value)) &&
      value.vt == VT_UI8) {
    duration_ = static_cast<std::int64_t>(value.uhVal.QuadPart);
  }
  PropVariantClear(&value);
  if (SUCCEEDED(reader_->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE,
                                                  MF_SOURCE_READER_MEDIASOURCE_CHARACTERISTICS, &value)) &&
      value.vt == VT_UI4) {
    canSeek_ = (value.ulVal & MFMEDIASOURCE_CAN_SEEK) != 0;
  }
  PropVariantClear(&value);
  return S_OK;
}

MfMediaReader::ReadResult MfMediaReader::Read(MfStream stream, MediaChunk& chunk) {
  const bool video = stream == MfStream::Video;
  if (!reader_ || broken_ || (video ? !hasVideo() : !hasAudio_)) return ReadResult::Failed;
  // Whole audio frames; the video frame as it comes.
  const DWORD unit = video ? 1 : format_.nBlockAlign;
  // Gaps and stream ticks come without a sample; they are skipped.
  for (;;) {
    if (FAILED(reader_->ReadSample(video ? videoIndex_ : kAudioStream, 0, nullptr, nullptr, nullptr, nullptr))) {
      broken_ = true;
      return ReadResult::Failed;
    }
    Callback::Answer answer;
    if (!callback_->Wait(stream, answer)) {
      // The request is still outstanding; nothing more may be asked of this reader.
      broken_ = true;
      return ReadResult::Failed;
    }
    if (FAILED(answer.status) || (answer.flags & MF_SOURCE_READERF_ERROR) != 0) {
      broken_ = true;
      return ReadResult::Failed;
    }
    if (answer.sample) {
      ComPtr<IMFMediaBuffer> buffer;
      if (FAILED(answer.sample->ConvertToContiguousBuffer(&buffer))) return ReadResult::Failed;
      BYTE* data = nullptr;
      DWORD length = 0;
      if (FAILED(buffer->Lock(&data, nullptr, &length))) return ReadResult::Failed;
      // Only whole frames: a torn frame would swap the channels of all that follow.
      length -= length % unit;
      chunk.bytes.assign(data, data + length);
      buffer->Unlock();
      chunk.time = answer.time;
      if (length != 0) return ReadResult::Data;
    }
    if ((answer.flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) return ReadResult::End;
  }
}

HRESULT MfMediaReader::SelectAudio() {
  HRESULT hr = reader_->SetStreamSelection(kAudioStream, TRUE);
  ComPtr<IMFMediaType> current;
  if (SUCCEEDED(hr)) hr = DecodeTo(reader_.Get(), kAudioStream, MFMediaType_Audio, MFAudioFormat_PCM, current);
  UINT32 channels = 0;
  UINT32 rate = 0;
  UINT32 bits = 0;
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
  if (SUCCEEDED(hr) && (channels == 0 || channels > 8 || rate == 0 || rate > 768000 || bits != kPcmBits)) {
    hr = MF_E_INVALIDMEDIATYPE;
  }
  if (FAILED(hr)) return hr;
  format_ = WAVEFORMATEX{};
  format_.wFormatTag = WAVE_FORMAT_PCM;
  format_.nChannels = static_cast<WORD>(channels);
  format_.nSamplesPerSec = rate;
  format_.wBitsPerSample = kPcmBits;
  format_.nBlockAlign = static_cast<WORD>(channels * kPcmBits / 8);
  format_.nAvgBytesPerSec = rate * format_.nBlockAlign;
  hasAudio_ = true;
  return S_OK;
}

HRESULT MfMediaReader::SelectVideo() {
  // The reader's own index of the first video stream, to tell its answers apart.
  DWORD index = 0;
  for (;; ++index) {
    ComPtr<IMFMediaType> native;
    const HRESULT hr = reader_->GetNativeMediaType(index, 0, &native);
    if (hr == MF_E_INVALIDSTREAMNUMBER) return hr;
    GUID major{};
    if (SUCCEEDED(hr) && SUCCEEDED(native->GetGUID(MF_MT_MAJOR_TYPE, &major)) && major == MFMediaType_Video) break;
  }
  ComPtr<IMFMediaType> current;
  HRESULT hr = DecodeTo(reader_.Get(), index, MFMediaType_Video, MFVideoFormat_NV12, current);
  UINT64 size = 0;
  if (SUCCEEDED(hr)) hr = current->GetUINT64(MF_MT_FRAME_SIZE, &size);
  if (FAILED(hr)) return hr;
  video_.width = static_cast<UINT32>(size >> 32);
  video_.height = static_cast<UINT32>(size & 0xFFFFFFFF);
  // Even sizes only (NV12 halves both), and nothing a frame buffer cannot hold.
  if (video_.width == 0 || video_.height == 0 || video_.width > 8192 || video_.height > 8192 || video_.width % 2 != 0 ||
      video_.height % 2 != 0) {
    return MF_E_INVALIDMEDIATYPE;
  }
  UINT64 rate = 0;
  const UINT32 numerator = SUCCEEDED(current->GetUINT64(MF_MT_FRAME_RATE, &rate)) ? static_cast<UINT32>(rate >> 32) : 0;
  const UINT32 denominator = static_cast<UINT32>(rate & 0xFFFFFFFF);
  video_.frameTime = numerator != 0 && denominator != 0 ? 10000000LL * denominator / numerator : 400000;
  hr = reader_->SetStreamSelection(index, TRUE);
  if (FAILED(hr)) return hr;
  videoIndex_ = index;
  callback_->SetVideoIndex(index);
  return S_OK;
}

HRESULT MfMediaReader::Seek(std::int64_t position) {
  if (!reader_ || broken_) return E_UNEXPECTED;
  if (!canSeek_) return E_NOTIMPL;
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_I8;
  value.hVal.QuadPart = position;
  const HRESULT hr = reader_->SetCurrentPosition(GUID_NULL, value);
  PropVariantClear(&value);
  return hr;
}

}  // namespace kestrun::playback
