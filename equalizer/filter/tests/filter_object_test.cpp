// The filter object on its own: the factory, the interface table, the control
// interface, the saved state and the pins, each test ending with no object alive.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

#include <string>

#include "equalizer/filter/tests/com_helpers.h"

namespace kestrun::equalizer::testing {
namespace {

class FilterObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_NE(Module().module, nullptr) << "Equalizer.ax next to the test program";
  }
  void TearDown() override {
    // Every object made by the test is gone again.
    EXPECT_EQ(Module().canUnloadNow(), S_OK);
    CoUninitialize();
  }
};

std::vector<int> Bands(IEqualizer* eq) {
  std::vector<int> bands(kEqualizerBandCount, -1);
  EXPECT_EQ(eq->GetBands(bands.data()), S_OK);
  return bands;
}

// An expected stream: the version and then each number as "%011d " in UTF-16.
std::string SavedBytes(const std::vector<int>& numbers) {
  std::string bytes;
  for (int n : numbers) {
    char text[16];
    snprintf(text, sizeof text, "%011d ", n);
    for (int i = 0; i < 12; ++i) {
      bytes.push_back(text[i]);
      bytes.push_back('\0');
    }
  }
  return bytes;
}

ComPtr<IStream> StreamOf(const std::string& bytes) {
  ComPtr<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  ULONG written = 0;
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::string ContentsOf(IStream* stream) {
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

// A stream whose reads or writes fail with a given code after `okCalls` calls.
class FailingStream final : public IStream {
 public:
  FailingStream(HRESULT error, int okCalls, ComPtr<IStream> inner)
      : error_(error), okCalls_(okCalls), inner_(std::move(inner)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
      *out = static_cast<IStream*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override {
    return okCalls_-- > 0 ? inner_->Read(data, size, read) : error_;
  }
  HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override {
    return okCalls_-- > 0 ? inner_->Write(data, size, written) : error_;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  HRESULT error_;
  int okCalls_;
  ComPtr<IStream> inner_;
};

TEST_F(FilterObject, ClassObjectAnswersOnlyItsClassAndFactoryInterfaces) {
  ComPtr<IUnknown> object;
  EXPECT_EQ(Module().getClassObject(CLSID_FilterGraph, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Module().getClassObject(CLSID_Equalizer, IID_IPersist, &object), E_NOINTERFACE);
  EXPECT_EQ(Module().getClassObject(CLSID_Equalizer, IID_IClassFactory, nullptr), E_POINTER);
  ASSERT_EQ(Module().getClassObject(CLSID_Equalizer, IID_IUnknown, &object), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Module().getClassObject(CLSID_Equalizer, IID_IClassFactory, &factory), S_OK);
  // A held factory keeps the module loaded.
  EXPECT_EQ(Module().canUnloadNow(), S_FALSE);

  // An aggregating creator must ask for IUnknown.
  ComPtr<IBaseFilter> filter;
  EXPECT_TRUE(FAILED(factory->CreateInstance(object.Get(), IID_PPV_ARGS(&filter))));
  EXPECT_EQ(filter, nullptr);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)), S_OK);
  filter.Reset();

  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  object.Reset();
  EXPECT_EQ(Module().canUnloadNow(), S_FALSE) << "a server lock keeps the module";
  ASSERT_EQ(Module().getClassObject(CLSID_Equalizer, IID_IClassFactory, &factory), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
}

TEST_F(FilterObject, InterfaceTableAndIdentity) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ASSERT_NE(filter, nullptr);
  const IID supported[] = {IID_IUnknown,     IID_IBaseFilter, IID_IMediaFilter,  IID_IPersist,
                           IID_IAMovieSetup, IID_IEqualizer,  IID_IPersistStream};
  ComPtr<IUnknown> identity;
  ASSERT_EQ(filter->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
  for (const IID& iid : supported) {
    ComPtr<IUnknown> part;
    ASSERT_EQ(filter->QueryInterface(iid, &part), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(part->QueryInterface(IID_PPV_ARGS(&back)), S_OK);
    EXPECT_EQ(back, identity) << "every part leads back to one IUnknown";
  }
  const IID unsupported[] = {IID_IPin, IID_IMemInputPin, IID_IMediaSeeking, IID_IPersistStorage};
  for (const IID& iid : unsupported) {
    void* part = reinterpret_cast<void*>(1);
    EXPECT_EQ(filter->QueryInterface(iid, &part), E_NOINTERFACE);
    EXPECT_EQ(part, nullptr);
  }
  EXPECT_EQ(filter->QueryInterface(IID_IEqualizer, nullptr), E_POINTER);
  ComPtr<IEqualizer> eq;
  ASSERT_EQ(filter.As(&eq), S_OK);
  EXPECT_EQ(eq->QueryInterface(IID_IEqualizer, nullptr), E_POINTER);

  CLSID clsid = {};
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_Equalizer);

  identity.Reset();
  eq.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u);
}

TEST_F(FilterObject, ControlInterfaceKeepsBandsAndMarksStateDirty) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IEqualizer> eq;
  ComPtr<IPersistStream> persist;
  ASSERT_EQ(filter.As(&eq), S_OK);
  ASSERT_EQ(filter.As(&persist), S_OK);
  EXPECT_EQ(Bands(eq.Get()), std::vector<int>(15, 24));
  EXPECT_EQ(persist->IsDirty(), S_FALSE);

  int values[15] = {0, 48, 1, 47, 24, 30, 12, 5, 40, 33, 2, 46, 20, 26, 7};
  EXPECT_EQ(eq->SetBands(values), S_OK);
  EXPECT_EQ(Bands(eq.Get()), std::vector<int>(values, values + 15));
  EXPECT_EQ(persist->IsDirty(), S_OK);
  // Values outside 0..48 are kept as given.
  int wild[15] = {-5, 100, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 24, 49};
  EXPECT_EQ(eq->SetBands(wild), S_OK);
  EXPECT_EQ(Bands(eq.Get()), std::vector<int>(wild, wild + 15));
  EXPECT_EQ(eq->ResetBands(), S_OK);
  EXPECT_EQ(Bands(eq.Get()), std::vector<int>(15, 24));

  EXPECT_EQ(eq->GetBands(nullptr), E_POINTER);
  EXPECT_EQ(eq->SetBands(nullptr), E_POINTER);

  // Each switch marks the state dirty again after a clearing save.
  auto saveClean = [&] {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ASSERT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(persist->IsDirty(), S_FALSE);
  };
  saveClean();
  EXPECT_EQ(eq->EnableEqualizer(TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  saveClean();
  EXPECT_EQ(eq->EnableVoiceRemoval(TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  saveClean();
  EXPECT_EQ(eq->ResetBands(), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);

  eq.Reset();
  persist.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u);
}

TEST_F(FilterObject, SavedStateHasTheExactTextAndLoadsBack) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IEqualizer> eq;
  ComPtr<IPersistStream> persist;
  ASSERT_EQ(filter.As(&eq), S_OK);
  ASSERT_EQ(filter.As(&persist), S_OK);
  int bands[15];
  for (int i = 0; i < 15; ++i) bands[i] = i;
  eq->SetBands(bands);
  eq->EnableEqualizer(TRUE);
  eq->EnableVoiceRemoval(FALSE);

  ULARGE_INTEGER size = {};
  EXPECT_EQ(persist->GetSizeMax(&size), S_OK);
  EXPECT_EQ(size.QuadPart, 432u);

  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ASSERT_EQ(persist->Save(stream.Get(), FALSE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK) << "a save that does not clear leaves it dirty";
  const std::string expected = SavedBytes({0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 1, 0});
  const std::string saved = ContentsOf(stream.Get());
  EXPECT_EQ(saved, expected);
  EXPECT_EQ(saved.size(), 432u);

  // A fresh filter loads it back: same bands, and the same flags (it saves the
  // same text again).
  ComPtr<IBaseFilter> other = CreateEqualizer();
  ComPtr<IEqualizer> otherEq;
  ComPtr<IPersistStream> otherPersist;
  ASSERT_EQ(other.As(&otherEq), S_OK);
  ASSERT_EQ(other.As(&otherPersist), S_OK);
  ASSERT_EQ(otherPersist->Load(StreamOf(saved).Get()), S_OK);
  EXPECT_EQ(Bands(otherEq.Get()), std::vector<int>(bands, bands + 15));
  ComPtr<IStream> again;
  CreateStreamOnHGlobal(nullptr, TRUE, &again);
  ASSERT_EQ(otherPersist->Save(again.Get(), TRUE), S_OK);
  EXPECT_EQ(ContentsOf(again.Get()), expected);

  eq.Reset();
  persist.Reset();
  otherEq.Reset();
  otherPersist.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u);
  EXPECT_EQ(other.Detach()->Release(), 0u);
}

TEST_F(FilterObject, DamagedSavedStateIsRefused) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IEqualizer> eq;
  ComPtr<IPersistStream> persist;
  ASSERT_EQ(filter.As(&eq), S_OK);
  ASSERT_EQ(filter.As(&persist), S_OK);

  // The second band holds a letter: the first band is taken, the rest is not.
  std::string bytes = SavedBytes({0, 7, 8, 9});
  bytes[2 * 24 + 2 * 5] = 'x';
  EXPECT_EQ(persist->Load(StreamOf(bytes).Get()), VFW_E_INVALID_FILE_FORMAT);
  std::vector<int> expected(15, 24);
  expected[0] = 7;
  EXPECT_EQ(Bands(eq.Get()), expected);

  // Ends in the middle of the saved numbers.
  EXPECT_EQ(persist->Load(StreamOf(SavedBytes({0, 1, 2}).substr(0, 60)).Get()), VFW_E_INVALID_FILE_FORMAT);
  EXPECT_EQ(persist->Load(StreamOf("").Get()), VFW_E_INVALID_FILE_FORMAT);
  EXPECT_EQ(persist->Load(nullptr), E_POINTER);

  // The stream's own errors come back unchanged, on reading and on writing.
  FailingStream badRead(STG_E_READFAULT, 30, StreamOf(SavedBytes({0, 1, 2, 3})));
  EXPECT_EQ(persist->Load(&badRead), STG_E_READFAULT);
  ComPtr<IStream> sink;
  CreateStreamOnHGlobal(nullptr, TRUE, &sink);
  FailingStream badWrite(STG_E_MEDIUMFULL, 3, sink);
  EXPECT_EQ(persist->Save(&badWrite, TRUE), STG_E_MEDIUMFULL);
  EXPECT_EQ(ContentsOf(sink.Get()).size(), 3u * 24) << "stops at the first failing write";

  eq.Reset();
  persist.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u);
}

WAVEFORMATEX WaveFormat(WORD tag, WORD channels, WORD bits) {
  WAVEFORMATEX format = {};
  format.wFormatTag = tag;
  format.nChannels = channels;
  format.nSamplesPerSec = 44100;
  format.wBitsPerSample = bits;
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  return format;
}

AM_MEDIA_TYPE AudioType(WAVEFORMATEX* format, ULONG formatBytes = sizeof(WAVEFORMATEX)) {
  AM_MEDIA_TYPE type = {};
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.cbFormat = formatBytes;
  type.pbFormat = reinterpret_cast<BYTE*>(format);
  return type;
}

TEST_F(FilterObject, PinsAndTheTypesTheInputTakes) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(&pins), S_OK);
  IPin* list[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(3, list, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  const wchar_t* names[] = {L"Input", L"Output"};
  const PIN_DIRECTION directions[] = {PINDIR_INPUT, PINDIR_OUTPUT};
  for (int i = 0; i < 2; ++i) {
    PIN_INFO info = {};
    ASSERT_EQ(list[i]->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, names[i]);
    EXPECT_EQ(info.dir, directions[i]);
    EXPECT_EQ(info.pFilter, filter.Get());
    info.pFilter->Release();
    LPWSTR id = nullptr;
    ASSERT_EQ(list[i]->QueryId(&id), S_OK);
    EXPECT_STREQ(id, names[i]);
    CoTaskMemFree(id);
    ComPtr<IPin> found;
    EXPECT_EQ(filter->FindPin(names[i], &found), S_OK);
    EXPECT_EQ(found.Get(), list[i]);
    // Unconnected pins offer no types.
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(list[i]->EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
  }
  ComPtr<IPin> none;
  EXPECT_EQ(filter->FindPin(L"Other", &none), VFW_E_NOT_FOUND);
  ComPtr<IMemInputPin> memInput;
  EXPECT_EQ(list[0]->QueryInterface(IID_PPV_ARGS(&memInput)), S_OK);
  ComPtr<IMemAllocator> allocator;
  EXPECT_EQ(memInput->GetAllocator(&allocator), VFW_E_NO_ALLOCATOR)
      << "the upstream pin brings its own while the output is unconnected";

  struct Case {
    const char* what;
    WAVEFORMATEX format;
    ULONG formatBytes;
    bool accepted;
  } cases[] = {
      {"16-bit stereo", WaveFormat(WAVE_FORMAT_PCM, 2, 16), sizeof(WAVEFORMATEX), true},
      {"16-bit mono", WaveFormat(WAVE_FORMAT_PCM, 1, 16), sizeof(WAVEFORMATEX), true},
      {"16-bit 6 channels", WaveFormat(WAVE_FORMAT_PCM, 6, 16), sizeof(WAVEFORMATEX), true},
      {"16-bit without cbSize", WaveFormat(WAVE_FORMAT_PCM, 2, 16), sizeof(PCMWAVEFORMAT), true},
      {"8-bit", WaveFormat(WAVE_FORMAT_PCM, 2, 8), sizeof(WAVEFORMATEX), false},
      {"24-bit", WaveFormat(WAVE_FORMAT_PCM, 2, 24), sizeof(WAVEFORMATEX), false},
      {"32-bit float", WaveFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 32), sizeof(WAVEFORMATEX), false},
      {"format block too short", WaveFormat(WAVE_FORMAT_PCM, 2, 16), 8, false},
  };
  for (auto& c : cases) {
    AM_MEDIA_TYPE type = AudioType(&c.format, c.formatBytes);
    EXPECT_EQ(list[0]->QueryAccept(&type), c.accepted ? S_OK : S_FALSE) << c.what;
    if (!c.accepted) {
      // Refused when an output pin offers it, with nothing stored.
      EXPECT_EQ(list[0]->ReceiveConnection(list[1], &type), VFW_E_TYPE_NOT_ACCEPTED) << c.what;
    }
  }
  WAVEFORMATEX pcm = WaveFormat(WAVE_FORMAT_PCM, 2, 16);
  AM_MEDIA_TYPE video = AudioType(&pcm);
  video.majortype = MEDIATYPE_Video;
  EXPECT_EQ(list[0]->QueryAccept(&video), S_FALSE);
  AM_MEDIA_TYPE noFormat = AudioType(&pcm);
  noFormat.formattype = GUID_NULL;
  EXPECT_EQ(list[0]->QueryAccept(&noFormat), S_FALSE);
  ComPtr<IPin> peer;
  EXPECT_EQ(list[0]->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);

  list[0]->Release();
  list[1]->Release();
  memInput.Reset();
  pins.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u) << "pins hold the filter, not themselves";
}

TEST_F(FilterObject, ModuleCarriesItsVersionAndExportName) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Module().path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "a version resource is linked in";
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(Module().path.c_str(), 0, size, info.data()));
  wchar_t* description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\041104b0\\FileDescription",
                             reinterpret_cast<void**>(&description), &length));
  EXPECT_STREQ(description, L"Quenfold' Equalizer");

  // The export directory names the module "Equalizer.Ax".
  const auto* base = reinterpret_cast<const BYTE*>(Module().module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(entry.VirtualAddress, 0u);
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "Equalizer.Ax");
  // The four COM entry points and DllInstall, which registers for the user alone.
  EXPECT_EQ(exports->NumberOfNames, 5u);
  EXPECT_NE(GetProcAddress(Module().module, "DllInstall"), nullptr);
}

}  // namespace
}  // namespace kestrun::equalizer::testing
