#include "equalizer/filter/tests/com_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace kestrun::equalizer::testing {

namespace {
constexpr wchar_t kModuleName[] = L"Equalizer.ax";

template <class T>
void Bind(HMODULE module, const char* name, T& out) {
  out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

const EqualizerModule& Module() {
  static const EqualizerModule loaded = [] {
    EqualizerModule m;
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    m.path = dir + kModuleName;
    m.module = LoadLibraryW(m.path.c_str());
    if (m.module != nullptr) {
      Bind(m.module, "DllGetClassObject", m.getClassObject);
      Bind(m.module, "DllCanUnloadNow", m.canUnloadNow);
      Bind(m.module, "DllRegisterServer", m.registerServer);
      Bind(m.module, "DllUnregisterServer", m.unregisterServer);
    }
    return m;
  }();
  return loaded;
}

ComPtr<IBaseFilter> CreateEqualizer() {
  ComPtr<IClassFactory> factory;
  ComPtr<IBaseFilter> filter;
  if (Module().getClassObject == nullptr ||
      FAILED(Module().getClassObject(CLSID_Equalizer, IID_IClassFactory, &factory)) ||
      FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&filter)))) {
    return nullptr;
  }
  return filter;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

bool WriteWav(const std::wstring& path, const PcmFormat& format, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> file;
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](std::uint16_t v) {
    file.push_back(static_cast<std::uint8_t>(v));
    file.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) { file.insert(file.end(), t, t + 4); };
  const std::uint16_t blockAlign = static_cast<std::uint16_t>(format.channels * format.bits / 8);
  tag("RIFF");
  put32(static_cast<std::uint32_t>(4 + 8 + 16 + 8 + data.size()));
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(format.formatTag);
  put16(format.channels);
  put32(format.rate);
  put32(format.rate * blockAlign);
  put16(blockAlign);
  put16(format.bits);
  tag("data");
  put32(static_cast<std::uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
  CloseHandle(handle);
  return ok && written == file.size();
}

std::vector<std::uint8_t> TestSignal(int frames, std::uint32_t seed) {
  std::vector<std::uint8_t> data(static_cast<size_t>(frames) * 4);
  std::uint32_t noise = seed;
  for (int i = 0; i < frames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double t = i / 44100.0;
    const double left =
        9000 * std::sin(2 * 3.14159265358979323846 * 60 * t) + 6000 * std::sin(2 * 3.14159265358979323846 * 3100 * t);
    const double right =
        8000 * std::sin(2 * 3.14159265358979323846 * 250 * t) + 5000 * std::sin(2 * 3.14159265358979323846 * 9000 * t);
    const int jitter = static_cast<int>(noise >> 20) - 2048;
    auto sample = [&](double v) {
      int s = static_cast<int>(v) + jitter;
      if (s == 0) s = 1;
      return static_cast<std::int16_t>(s);
    };
    const std::int16_t l = sample(left);
    const std::int16_t r = sample(right);
    std::memcpy(&data[i * 4], &l, 2);
    std::memcpy(&data[i * 4 + 2], &r, 2);
  }
  return data;
}

DWORD Regsvr32(const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe " + switches + L" \"" + Module().path + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return ~0u;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

std::wstring Widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

std::wstring GeneratedMediaDir() {
  const char* binary = std::getenv("KESTRUN_BINARY_DIR");
  if (binary == nullptr || binary[0] != '/') {
    return L"";
  }
  // Wine maps the Unix root to drive Z:.
  std::wstring path = L"Z:" + Widen(binary) + L"/testdata/equalizer";
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

HRESULT SampleCollector::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_ISampleGrabberCB) {
    *out = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT SampleCollector::SampleCB(double, IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const long length = sample->GetActualDataLength();
  size_t index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_.emplace_back(data, data + length);
    index = chunks_.size() - 1;
  }
  if (onChunk) {
    onChunk(index);
  }
  return S_OK;
}

std::vector<std::vector<std::uint8_t>> SampleCollector::Chunks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return chunks_;
}

std::vector<std::uint8_t> SampleCollector::Joined() {
  std::vector<std::uint8_t> all;
  for (const auto& chunk : Chunks()) {
    all.insert(all.end(), chunk.begin(), chunk.end());
  }
  return all;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(&pins))) {
    return nullptr;
  }
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) {
      return pin;
    }
  }
  return nullptr;
}

HRESULT GrabberGraph::Build(IBaseFilter* equalizer, const std::wstring& file) {
  HRESULT hr = Prepare();
  if (FAILED(hr)) return hr;
  ComPtr<IBaseFilter> source;
  if (FAILED(hr = graph->AddSourceFilter(file.c_str(), L"Source", &source))) return hr;
  return Complete(equalizer, source.Get());
}

HRESULT GrabberGraph::Prepare() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grabberFilter));
  if (FAILED(hr)) return hr;
  hr = grabberFilter.As(&grabber);
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&renderer));
  if (FAILED(hr)) return hr;
  AM_MEDIA_TYPE audio = {};
  audio.majortype = MEDIATYPE_Audio;
  grabber->SetMediaType(&audio);
  grabber->SetBufferSamples(FALSE);
  grabber->SetCallback(&collector, 0);
  return S_OK;
}

HRESULT GrabberGraph::BuildFrom(IBaseFilter* equalizer, IBaseFilter* source) {
  HRESULT hr = Prepare();
  if (FAILED(hr)) return hr;
  if (FAILED(hr = graph->AddFilter(source, L"Source"))) return hr;
  return Complete(equalizer, source);
}

HRESULT GrabberGraph::Complete(IBaseFilter* equalizer, IBaseFilter* source) {
  HRESULT hr = S_OK;
  if (FAILED(hr = graph->AddFilter(equalizer, L"Equalizer"))) return hr;
  if (FAILED(hr = graph->AddFilter(grabberFilter.Get(), L"Grabber"))) return hr;
  if (FAILED(hr = graph->AddFilter(renderer.Get(), L"Null"))) return hr;
  // The graph puts the file's parser between the source and the equalizer.
  if (FAILED(hr = graph->Connect(FirstPin(source, PINDIR_OUTPUT).Get(), FirstPin(equalizer, PINDIR_INPUT).Get())))
    return hr;
  if (FAILED(hr = graph->ConnectDirect(FirstPin(equalizer, PINDIR_OUTPUT).Get(),
                                       FirstPin(grabberFilter.Get(), PINDIR_INPUT).Get(), nullptr)))
    return hr;
  if (FAILED(hr = graph->ConnectDirect(FirstPin(grabberFilter.Get(), PINDIR_OUTPUT).Get(),
                                       FirstPin(renderer.Get(), PINDIR_INPUT).Get(), nullptr)))
    return hr;
  // No clock: the graph streams as fast as it can.
  ComPtr<IMediaFilter> timing;
  if (FAILED(hr = graph.As(&timing))) return hr;
  return timing->SetSyncSource(nullptr);
}

bool GrabberGraph::RunToCompletion(DWORD timeoutMs) {
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEvent> events;
  if (FAILED(graph.As(&control)) ||
      FAILED(graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())))) {
    return false;
  }
  if (FAILED(control->Run())) {
    return false;
  }
  long code = 0;
  const HRESULT hr = events->WaitForCompletion(static_cast<long>(timeoutMs), &code);
  control->Stop();
  return hr == S_OK && code == EC_COMPLETE;
}

void GrabberGraph::Release() {
  if (grabber) {
    grabber->SetCallback(nullptr, 0);
  }
  grabber.Reset();
  grabberFilter.Reset();
  renderer.Reset();
  graph.Reset();
}

double LeftRms(const std::vector<std::uint8_t>& pcm) {
  const std::size_t frames = pcm.size() / 4;
  if (frames == 0) return 0.0;
  double sum = 0.0;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const auto sample = static_cast<std::int16_t>(pcm[frame * 4] | (pcm[frame * 4 + 1] << 8));
    sum += static_cast<double>(sample) * sample;
  }
  return std::sqrt(sum / static_cast<double>(frames));
}

bool PinConnected(IBaseFilter* filter, const wchar_t* pinName) {
  ComPtr<IPin> pin;
  ComPtr<IPin> peer;
  return SUCCEEDED(filter->FindPin(pinName, &pin)) && SUCCEEDED(pin->ConnectedTo(&peer));
}

}  // namespace kestrun::equalizer::testing
