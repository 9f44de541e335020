#include "playback/media_length_win.h"

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <iterator>

#include "platform/ansi_path.h"
#include "platform/file_io.h"
#include "platform/limits.h"
#include "playback/dshow_uuids_win.h"
#include "playback/mf_media_reader_win.h"
#include "platform/win32_handles_win.h"

namespace kestrun::playback {

std::optional<std::int64_t> MeasureMediaDuration(const char* path) {
  using Microsoft::WRL::ComPtr;
  if (path == nullptr || path[0] == '\0') return std::nullopt;
  wchar_t widePath[platform::kPathCapacity] = {};
  const int wideCapacity = static_cast<int>(std::size(widePath));
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, wideCapacity) == 0) return std::nullopt;

  // A missing file has no length; no graph is built to find that out (under Wine
  // every source filter asked for a missing file leaves its reader thread behind).
  if (!platform::LooksLikeUrl(path) && platform::IsMissingFile(path)) return std::nullopt;

  platform::ComApartment apartment;
  if (!apartment.ok() && apartment.result() != RPC_E_CHANGED_MODE) return std::nullopt;
  std::optional<std::int64_t> duration;
  {
    // The interfaces go before the apartment does.
    ComPtr<IGraphBuilder> graph;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)))) {
      return std::nullopt;
    }
    // What DirectShow cannot render, Media Foundation may read; its header knows
    // the length without a graph.
    if (FAILED(graph->RenderFile(widePath, nullptr))) {
      graph.Reset();
      if (platform::LooksLikeUrl(path)) return std::nullopt;
      MediaFoundationRuntime runtime;
      MfMediaReader reader;
      if (!runtime.ok() || FAILED(reader.Open(widePath, true)) || reader.duration() <= 0) return std::nullopt;
      return reader.duration();
    }
    ComPtr<IMediaSeeking> seeking;
    if (FAILED(graph.As(&seeking))) return std::nullopt;
    LONGLONG length = 0;
    if (FAILED(seeking->GetDuration(&length)) || length < 0) return std::nullopt;
    duration = length;
  }
  return duration;
}

}  // namespace kestrun::playback
