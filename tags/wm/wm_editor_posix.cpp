// Native builds have no Windows Media runtime: our ASF editor answers, and there
// is no COM to initialise.
#include "tags/wm/wm_editor.h"

namespace kestrun::tags {

std::unique_ptr<WmMetadataEditor> CreateWmEditor() { return CreateAsfFileEditor(); }

WmComScope::WmComScope() = default;
WmComScope::~WmComScope() = default;

}  // namespace kestrun::tags
