// What a failed graph build hands back: the user text for the title display and
// the result code of the step that failed, so that a file which does not play can
// be told apart from another afterwards (the code also goes to the debug output).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/temp_dir.h"
#include "platform/win32_handles_win.h"
#include "playback/media_session_win.h"
#include "playback/tests/fake_playback.h"

namespace kestrun::playback {
namespace {

class NoWindows final : public SessionWindows {
 public:
  HWND EventWindow() const override { return nullptr; }
  HWND VideoWindow() const override { return nullptr; }
};

class SessionFailure : public ::testing::Test {
 protected:
  OpenOutcome Build(const std::string& path) { return session.Build(path, GraphOptions{}, view); }

  platform::ComApartment apartment;
  NoWindows windows;
  testing::RecordingView view;
  DirectShowSession session{windows};
  kestrun::testing::TempDir dir;
};

// What the graph manager itself answers for a file, in a graph of its own.
HRESULT PlainRenderFile(const std::string& path) {
  ComPtr<IGraphBuilder> graph;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  if (FAILED(hr)) return hr;
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
  return graph->RenderFile(wide, nullptr);
}

TEST_F(SessionFailure, MissingFileKeepsFileNotFound) {
  const OpenOutcome outcome = Build(dir.File("gone.mp3"));
  EXPECT_EQ(outcome.kind, OpenOutcome::Kind::Failed);
  EXPECT_EQ(outcome.failureText, kUnsupportedText);
  EXPECT_EQ(outcome.failureCode, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(session.HasGraph());
}

// Bytes no splitter takes: the outcome keeps the graph manager's refusal, not a
// code of the Media Foundation source tried after it.
TEST_F(SessionFailure, UnplayableFileKeepsTheRenderingRefusal) {
  std::string noise(8192, '\0');
  unsigned state = 12345;
  for (char& byte : noise) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  const std::string path = dir.File("noise.xyz");
  ASSERT_TRUE(kestrun::testing::WriteBytes(path, noise));
  const HRESULT refusal = PlainRenderFile(path);
  ASSERT_TRUE(FAILED(refusal));

  const OpenOutcome outcome = Build(path);
  EXPECT_EQ(outcome.kind, OpenOutcome::Kind::Failed);
  EXPECT_EQ(outcome.failureText, kUnsupportedText);
  EXPECT_EQ(outcome.failureCode, refusal);
  EXPECT_FALSE(session.HasGraph());
}

// The special paths fail with their own texts, and none of them with a code that
// reads as success.
TEST_F(SessionFailure, SpecialPathsKeepAFailingCode) {
  const struct {
    std::string path;
    const char* text;
  } cases[] = {
      {dir.File("gone.asx"), kAsxFailedText},
      // Nothing listens on port 1; Wine has no URL reader at all.
      {"http://127.0.0.1:1/none.mp3", "URLの再生に失敗"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const OpenOutcome outcome = Build(c.path);
    EXPECT_EQ(outcome.kind, OpenOutcome::Kind::Failed);
    EXPECT_EQ(outcome.failureText, c.text);
    EXPECT_TRUE(FAILED(outcome.failureCode)) << std::hex << outcome.failureCode;
    EXPECT_FALSE(session.HasGraph());
  }
}

}  // namespace
}  // namespace kestrun::playback
