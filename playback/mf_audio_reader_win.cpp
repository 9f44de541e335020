#include "playback/mf_audio_reader_win.h"

#include <mfapi.h>
#include <mferror.h>

#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "platform/com_object_win.h"
#include "platform/win32_handles.h"
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
// threads and hands the latest one to the thread waiting in Wait.
class MfAudioReader::Callback final : public platform::ComObject<IMFSourceReaderCallback> {
 public:
  struct Answer {
    HRESULT status = E_FAIL;
    DWORD flags = 0;
    LONGLONG time = 0;
    ComPtr<IMFSample> sample;
  };

  Callback() : ready_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  bool ok() const { return static_cast<bool>(ready_); }

  HRESULT STDMETHODCALLTYPE OnReadSample(HRESULT status, DWORD, DWORD flags, LONGLONG time,
                                         IMFSample* sample) override {
    {
      std::lock_guard<std::mutex> lock(lock_);
      answer_.status = status;
      answer_.flags = flags;
      answer_.time = time;
      answer_.sample = sample;
    }
    SetEvent(ready_.get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnFlush(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnEvent(DWORD, IMFMediaEvent*) override { return S_OK; }

  // Waits for the answer to the one outstanding request; false on time-out.
  bool Wait(Answer& answer) {
    if (WaitForSingleObject(ready_.get(), kReadTimeoutMs) != WAIT_OBJECT_0) return false;
    std::lock_guard<std::mutex> lock(lock_);
    answer = std::move(answer_);
    answer_ = Answer{};
    return true;
  }

 private:
  ~Callback() override = default;

  platform::KernelHandle ready_;
  std::mutex lock_;
  Answer answer_;
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
  platform::FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

}  // namespace

MfAudioReader::MfAudioReader() = default;

MfAudioReader::~MfAudioReader() {
  // Shutting the source down ends a request still outstanding after a time-out, so
  // no worker thread reads the file on after this.
  if (reader_ && broken_) {
    ComPtr<IMFMediaSource> source;
    if (SUCCEEDED(reader_->GetServiceForStream(MF_SOURCE_READER_MEDIASOURCE, GUID_NULL, IID_PPV_ARGS(&source)))) {
      source->Shutdown();
    }
  }
}

HRESULT MfAudioReader::Open(const wchar_t* path) {
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

  // Only the first audio stream is read; a video stream left selected would queue
  // its frames behind the audio.
  hr = reader_->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE);
  if (SUCCEEDED(hr)) hr = reader_->SetStreamSelection(kAudioStream, TRUE);
  ComPtr<IMFMediaType> wanted;
  if (SUCCEEDED(hr)) hr = MFCreateMediaType(&wanted);
  if (SUCCEEDED(hr)) hr = wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
  if (SUCCEEDED(hr)) hr = wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
  if (SUCCEEDED(hr)) hr = wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, kPcmBits);
  if (SUCCEEDED(hr)) hr = reader_->SetCurrentMediaType(kAudioStream, nullptr, wanted.Get());
  ComPtr<IMFMediaType> current;
  if (SUCCEEDED(hr)) hr = reader_->GetCurrentMediaType(kAudioStream, &current);
  UINT32 channels = 0;
  UINT32 rate = 0;
  UINT32 bits = 0;
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
  if (SUCCEEDED(hr)) hr = current->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
  if (SUCCEEDED(hr) && (channels == 0 || channels > 8 || rate == 0 || rate > 768000 || bits != kPcmBits)) {
    hr = MF_E_INVALIDMEDIATYPE;
  }
  if (FAILED(hr)) {
    reader_.Reset();
    return hr;
  }
  format_ = WAVEFORMATEX{};
  format_.wFormatTag = WAVE_FORMAT_PCM;
  format_.nChannels = static_cast<WORD>(channels);
  format_.nSamplesPerSec = rate;
  format_.wBitsPerSample = kPcmBits;
  format_.nBlockAlign = static_cast<WORD>(channels * kPcmBits / 8);
  format_.nAvgBytesPerSec = rate * format_.nBlockAlign;

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

MfAudioReader::ReadResult MfAudioReader::Read(PcmChunk& chunk) {
  if (!reader_ || broken_) return ReadResult::Failed;
  // Gaps and stream ticks come without a sample; they are skipped.
  for (;;) {
    if (FAILED(reader_->ReadSample(kAudioStream, 0, nullptr, nullptr, nullptr, nullptr))) {
      broken_ = true;
      return ReadResult::Failed;
    }
    Callback::Answer answer;
    if (!callback_->Wait(answer)) {
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
      length -= length % format_.nBlockAlign;
      chunk.bytes.assign(data, data + length);
      buffer->Unlock();
      chunk.time = answer.time;
      if (length != 0) return ReadResult::Data;
    }
    if ((answer.flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) return ReadResult::End;
  }
}

HRESULT MfAudioReader::Seek(std::int64_t position) {
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
