// The Windows Media Format runtime's metadata editor behind our editor interface.
#pragma once

#include <memory>

#include "tags/wm/wm_editor.h"

struct IWMMetadataEditor;

namespace kestrun::tags {

// WMCreateEditor from WMVCore.DLL, bound at the first call (nullptr when the
// library or the export is missing). The library stays loaded for the process.
using WmCreateEditorFn = long(__stdcall*)(IWMMetadataEditor**);
WmCreateEditorFn BindWmCreateEditor();

// Adapts a runtime editor (taking one reference of its own) to our interface.
std::unique_ptr<WmMetadataEditor> WrapRuntimeEditor(IWMMetadataEditor* editor);

// The editor CreateWmEditor returns, with the creation function it tries first
// (tests pass their own; nullptr means "no runtime").
std::unique_ptr<WmMetadataEditor> CreateSelectingEditor(WmCreateEditorFn createEditor);

}  // namespace kestrun::tags
