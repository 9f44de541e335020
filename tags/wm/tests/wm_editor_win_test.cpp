// How the editor is chosen on Windows, and the runtime editor's adapter, with a
// scripted stand-in for the runtime's COM objects.
#include <windows.h>
#include <wmsdkidl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/testing/temp_dir.h"
#include "tags/wm/tests/asf_test_file.h"
#include "tags/wm/wm_fields.h"
#include "tags/wm/wm_runtime_win.h"

namespace kestrun::tags {
namespace {

using kestrun::testing::TempDir;
using kestrun::testing::WriteBytes;
using namespace kestrun::tags::testing;

// A runtime editor that keeps its attributes in a map and counts references.
class FakeRuntime final : public IWMMetadataEditor, public IWMHeaderInfo {
 public:
  HRESULT openResult = S_OK;
  int opens = 0, flushes = 0, closes = 0;
  LONG refs = 0;
  std::map<std::wstring, std::pair<WMT_ATTR_DATATYPE, std::vector<BYTE>>> attributes;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IWMMetadataEditor)) {
      *out = static_cast<IWMMetadataEditor*>(this);
    } else if (riid == __uuidof(IWMHeaderInfo)) {
      *out = static_cast<IWMHeaderInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  HRESULT STDMETHODCALLTYPE Open(const WCHAR*) override {
    ++opens;
    return openResult;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    ++closes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Flush() override {
    ++flushes;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                               WORD* length) override {
    if (*stream != 0) return E_INVALIDARG;
    auto it = attributes.find(name);
    if (it == attributes.end()) return static_cast<HRESULT>(0xC00D07F0);
    *type = it->second.first;
    const WORD size = static_cast<WORD>(it->second.second.size());
    if (value != nullptr) {
      if (*length < size) return E_INVALIDARG;
      std::memcpy(value, it->second.second.data(), size);
    }
    *length = size;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type, const BYTE* value,
                                         WORD length) override {
    if (stream != 0) return E_INVALIDARG;
    attributes[name] = {type, std::vector<BYTE>(value, value + length)};
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD, WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD, WORD*, WCHAR*, WORD*, WMT_ATTR_DATATYPE*, BYTE*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetScriptCount(WORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }
};

FakeRuntime* g_fake = nullptr;
HRESULT g_createResult = S_OK;

long __stdcall FakeCreateEditor(IWMMetadataEditor** out) {
  if (FAILED(g_createResult)) return g_createResult;
  g_fake->AddRef();
  *out = g_fake;
  return S_OK;
}

class WmEditorChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake_;
    g_createResult = S_OK;
    path_ = dir_.File("song.wma");
    ASSERT_TRUE(WriteBytes(path_, BuildTaggedAsf({{u"Title", Utf16z(u"From our editor")}})));
    widePath_ = AnsiToWide(path_);
  }
  void TearDown() override { g_fake = nullptr; }

  FakeRuntime fake_;
  TempDir dir_;
  std::string path_;
  std::u16string widePath_;
};

TEST_F(WmEditorChoice, WorkingRuntimeAnswersAndIsReleased) {
  fake_.attributes[L"Title"] = {WMT_TYPE_STRING, {'R', 0, 'T', 0, 0, 0}};
  {
    auto editor = CreateSelectingEditor(&FakeCreateEditor);
    ASSERT_EQ(editor->Open(widePath_.c_str()), kWmOk);
    EXPECT_EQ(editor->Kind(), WmEditorKind::Runtime);
    WmHeaderInfo* header = editor->HeaderInfo();
    ASSERT_NE(header, nullptr);
    char title[kWmTextCapacity] = "";
    EXPECT_EQ(GetWmAttributeText(*header, kWmTitle, title, sizeof title), kWmOk);
    EXPECT_STREQ(title, "RT");
    EXPECT_TRUE(SetWmDwordAttribute(*header, kWmTrack, 0x01020304));
    EXPECT_EQ(editor->Flush(), kWmOk);
    EXPECT_EQ(editor->Close(), kWmOk);
  }
  const auto& track = fake_.attributes[L"WM/Track"];
  EXPECT_EQ(track.first, WMT_TYPE_DWORD);
  EXPECT_EQ(track.second, (std::vector<BYTE>{4, 3, 2, 1}));
  EXPECT_EQ(fake_.flushes, 1);
  EXPECT_EQ(fake_.closes, 1);
  EXPECT_EQ(fake_.refs, 0);
}

TEST_F(WmEditorChoice, FailingRuntimeHandsTheFileToOurEditor) {
  struct Case {
    const char* what;
    HRESULT create;
    HRESULT open;
  } cases[] = {{"create answers E_NOTIMPL", E_NOTIMPL, S_OK}, {"open answers E_NOTIMPL", S_OK, E_NOTIMPL}};
  for (const auto& c : cases) {
    g_createResult = c.create;
    fake_.openResult = c.open;
    {
      auto editor = CreateSelectingEditor(&FakeCreateEditor);
      ASSERT_EQ(editor->Open(widePath_.c_str()), kWmOk) << c.what;
      EXPECT_EQ(editor->Kind(), WmEditorKind::Own) << c.what;
      char title[kWmTextCapacity] = "";
      EXPECT_EQ(GetWmAttributeText(*editor->HeaderInfo(), kWmTitle, title, sizeof title), kWmOk);
      EXPECT_STREQ(title, "From our editor") << c.what;
      EXPECT_EQ(editor->Close(), kWmOk);
    }
    EXPECT_EQ(fake_.refs, 0) << c.what;
  }
}

TEST_F(WmEditorChoice, NoRuntimeMeansOurEditor) {
  auto editor = CreateSelectingEditor(nullptr);
  ASSERT_EQ(editor->Open(widePath_.c_str()), kWmOk);
  EXPECT_EQ(editor->Kind(), WmEditorKind::Own);
  EXPECT_EQ(editor->Close(), kWmOk);
  EXPECT_EQ(editor->Flush(), kWmInvalidRequest);
}

// The system's own runtime: used when it works, else ours; the fields read the
// same either way.
TEST_F(WmEditorChoice, SystemRuntimeOrOursReadsTheFile) {
  WmCreateEditorFn bound = BindWmCreateEditor();
  HRESULT created = E_FAIL;
  if (bound != nullptr) {
    IWMMetadataEditor* probe = nullptr;
    created = bound(&probe);
    if (probe != nullptr) probe->Release();
  }
  std::printf("WMCreateEditor: %s, result 0x%08lX\n", bound ? "present" : "missing",
              static_cast<unsigned long>(created));
  auto editor = CreateWmEditor();
  ASSERT_EQ(editor->Open(widePath_.c_str()), kWmOk);
  if (FAILED(created)) {
    EXPECT_EQ(editor->Kind(), WmEditorKind::Own);
  }
  editor->Close();
  WmFields fields;
  ASSERT_TRUE(ReadWmFields(path_.c_str(), fields));
  EXPECT_STREQ(fields.title, "From our editor");
}

}  // namespace
}  // namespace kestrun::tags
