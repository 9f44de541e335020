// The media session under the playback engine, with a recording view in the main
// window's place: graphs built by the platform's filter graph manager for generated
// media.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <windows.h>

#include "equalizer/iequalizer.h"
#include "platform/testing/process_threads_win.h"
#include "platform/testing/real_input_win.h"
#include "playback/filter_list_win.h"
#include "playback/tests/session_fixture_win.h"
#include "settings/settings_store_win.h"

namespace kestrun::testing {
namespace {

// When Equalizer.ax is not there, a file source filter (output pin only, so the
// graph never connects anything to it) stands in, to count references on.
// {E436EBB5-524F-11CE-9F53-0020AF0BA770}
constexpr CLSID kClsidFileSource = {0xE436EBB5, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// What the main window's title display would show.
std::string TitleDisplay() { return SessionTest::View().titleText; }

class MediaSessionTest : public SessionTest {
 protected:
  // Makes sure a filter sits in the equalizer's place, to count references on.
  IBaseFilter* EqualizerOrStandIn() {
    auto& session = Session();
    if (session.Equalizer() == nullptr) {
      Microsoft::WRL::ComPtr<IBaseFilter> standIn;
      CoCreateInstance(kClsidFileSource, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&standIn));
      session.ReplaceEqualizerForTests(standIn);
    }
    return session.Equalizer();
  }

  static void ExpectGraphReleased() {
    auto& session = Session();
    const auto held = session.interfacesForTests();
    EXPECT_FALSE(session.HasGraph());
    EXPECT_FALSE(held.graph);
    EXPECT_FALSE(held.control);
    EXPECT_FALSE(held.events);
    EXPECT_FALSE(session.seeking());
    EXPECT_FALSE(held.source);
    EXPECT_FALSE(held.openProgress);
    EXPECT_EQ(State().state.load(), playback::kStateClosed);
  }
};

TEST_F(MediaSessionTest, PlaysWavAndReportsDuration) {
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  EXPECT_EQ(State().state.load(), playback::kStatePlaying);
  EXPECT_NEAR(static_cast<double>(State().duration), 3.0e7, 1.0e5);
  EXPECT_EQ(View().playingTitle, "tone.wav") << "the title the main window puts in its caption";
  EXPECT_EQ(TitleDisplay(), "tone.wav");
  EXPECT_EQ(State().audioOnly, true);
  EXPECT_EQ(State().currentPath, TestMediaPath("tone.wav"));
}

TEST_F(MediaSessionTest, EndOfStreamReachesMainWindowAndNormalModeStops) {
  OpenAndPlay(TestMediaPath("short.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  // The graph posts its completion to the event window; the normal play mode closes.
  EXPECT_TRUE(WaitUntil([] { return State().state.load() == playback::kStateClosed; }, 15000));
  EXPECT_FALSE(Session().HasGraph());
  EXPECT_EQ(View().timeText, "00:00/00:01");
  EXPECT_EQ(TitleDisplay(), "short.wav");
}

TEST_F(MediaSessionTest, EveryFailureShowsItsTextAndReleasesTheGraph) {
  IBaseFilter* equalizer = EqualizerOrStandIn();
  ASSERT_NE(equalizer, nullptr);
  const ULONG baseline = RefCount(equalizer);

  struct Case {
    std::string path;
    const char* text;
  };
  const Case cases[] = {
      {TestMediaPath("junk.xyz"), "未対応のファイルです"},
      {"D:\\Track01.cda", "CDの再生に失敗しました"},
      {"http://127.0.0.1:9/stream.mp3", "URLの再生に失敗"},
      {TestMediaPath("missing.asx"), "asxファイルの展開に失敗"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    OpenAndPlay(c.path.c_str());
    EXPECT_EQ(TitleDisplay(), c.text);
    ExpectGraphReleased();
    // The graph held the equalizer; once it is gone only the session holds it.
    EXPECT_EQ(RefCount(equalizer), baseline);
  }
}

TEST_F(MediaSessionTest, MissingFilesFailAsUnsupportedAndLeaveNoThreadsBehind) {
  const std::string cases[] = {TestMediaPath("gone.wav"), TestMediaPath("no folder\\gone.mp3"), TestMediaPath("")};
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    OpenAndPlay(path.c_str());
    EXPECT_EQ(TitleDisplay(), "未対応のファイルです");
    ExpectGraphReleased();
  }
  // A list of missing files played one after another must not use the process up.
  const int before = ThreadsOfThisProcess();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 30; ++i) OpenAndPlay(cases[i % 2].c_str());
  EXPECT_LE(ThreadsOfThisProcess(), before + 3);
}

TEST_F(MediaSessionTest, UpperCaseExtensionTakesTheSamePath) {
  OpenAndPlay("D:\\TRACK02.CDA");
  EXPECT_EQ(TitleDisplay(), "CDの再生に失敗しました");
}

// Both pins of a filter are connected.
bool BothPinsConnected(IBaseFilter* filter) {
  Microsoft::WRL::ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(&pins))) return false;
  Microsoft::WRL::ComPtr<IPin> pin;
  int connected = 0;
  int count = 0;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ++count;
    Microsoft::WRL::ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) ++connected;
  }
  return count == 2 && connected == 2;
}

// The equalizer windows act on the filter the session puts into every graph: a
// different object (a fresh one, or none) would leave the playing sound unchanged.
TEST_F(MediaSessionTest, EqualizerWindowsReachTheFilterInThePlayingGraph) {
  if (Session().Equalizer() == nullptr) GTEST_SKIP() << "Equalizer.ax is not registered in this prefix";
  OpenAndPlay(TestMediaPath("tone.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  const auto inGraph = playback::FindFilterByName(Session(), kEqualizerFilterNameAnsi);
  ASSERT_TRUE(inGraph);
  Microsoft::WRL::ComPtr<IUnknown> graphIdentity;
  Microsoft::WRL::ComPtr<IUnknown> windowsIdentity;
  ASSERT_EQ(inGraph.As(&graphIdentity), S_OK);
  // What the equalizer windows are given.
  const playback::EqualizerAccess& access = Session();
  ASSERT_NE(access.Equalizer(), nullptr);
  ASSERT_EQ(access.Equalizer()->QueryInterface(IID_PPV_ARGS(&windowsIdentity)), S_OK);
  EXPECT_EQ(graphIdentity.Get(), windowsIdentity.Get());
  // The same one object for the whole run, across graphs.
  OpenAndPlay(TestMediaPath("short.wav").c_str());
  ASSERT_EQ(State().state.load(), playback::kStatePlaying);
  EXPECT_EQ(playback::FindFilterByName(Session(), kEqualizerFilterNameAnsi).Get(), inGraph.Get());
}

TEST_F(MediaSessionTest, RegisteredEqualizerSitsInTheDecodedAudioPath) {
  if (GetFileAttributesA((TestProgramDirectory() + "\\Equalizer.ax").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "Equalizer.ax is not built in this tree";
  }
  // Start-up registered the filter next to the program and created it.
  ASSERT_TRUE(Session().Equalizer());
  char marker[16] = {};
  settings::ReadSettingString("Player", "RegisterEQ", marker, sizeof(marker), "");
  EXPECT_STREQ(marker, "004");
  CLSID clsid{};
  Session().Equalizer()->GetClassID(&clsid);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Equalizer));

  Engine().options().equalizerOn = true;
  Engine().options().voiceRemovalOn = false;
  for (const char* name : {"tone.wav", "tone.mp3"}) {
    SCOPED_TRACE(name);
    OpenAndPlay(TestMediaPath(name).c_str());
    ASSERT_EQ(State().state.load(), playback::kStatePlaying);
    EXPECT_TRUE(BothPinsConnected(Session().Equalizer()));
    // What DirectShow plays keeps its own graph: the Media Foundation source is only
    // for files it refuses.
    EXPECT_FALSE(playback::FindFilterByName(Session(), "Media Foundation Source"));
    Engine().StopAndClose();
  }
  Engine().options().equalizerOn = false;
}

class AsxTest : public MediaSessionTest {
 protected:
  std::string WriteAsx(const std::string& name, const std::string& reference, const std::string& title) {
    const std::string path = TestMediaPath(name);
    std::ofstream out(path, std::ios::binary);
    out << "<ASX version=\"3.0\">\r\n<TITLE>" << title << "</TITLE>\r\n<ENTRY>\r\n<REF HREF=\"" << reference
        << "\"/>\r\n</ENTRY>\r\n</ASX>\r\n";
    return path;
  }
};

TEST_F(AsxTest, ReferenceToItselfPlaysNothing) {
  IBaseFilter* equalizer = EqualizerOrStandIn();
  const ULONG baseline = RefCount(equalizer);
  // References come back lower-cased, so the file's own path is written that way.
  std::string self = TestMediaPath("self.asx");
  for (auto& c : self) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  const std::string path = WriteAsx("self.asx", self, "Loop");
  OpenAndPlay(path.c_str());
  ExpectGraphReleased();
  EXPECT_EQ(RefCount(equalizer), baseline);
}

TEST_F(AsxTest, ReferenceToARealFilePlaysItWithTheAsxTitle) {
  const std::string path = WriteAsx("tone-ref.asx", TestMediaPath("tone.wav"), "Asx Title");
  OpenAndPlay(path.c_str());
  EXPECT_EQ(State().state.load(), playback::kStatePlaying);
  EXPECT_EQ(View().caption, "Asx Title");
  EXPECT_EQ(TitleDisplay(), "Asx Title");
}

}  // namespace

}  // namespace kestrun::testing
