// The playlist's rename commands over its rows: the form each command stands for,
// and renaming the selected rows' files after their tags. The tag code itself
// knows nothing of rows.
#pragma once

#include <optional>

#include "playlist/row_store.h"
#include "tags/editor/rename_by_tag.h"

namespace kestrun::playlist {

// The rename form of a command of the "リネーム(&M)" menu, nothing for others.
std::optional<tags::RenameForm> RenameFormForCommand(int command);

// Renames the files of the selected rows in list order; a renamed row's path cell
// gets the new path, nothing else of it changes. Returns how many were renamed.
int RenameSelectedRows(RowStore& rows, tags::RenameForm form, const tags::RenameOptions& options);

}  // namespace kestrun::playlist
