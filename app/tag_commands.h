// The playlist's tag commands over its rows: reading titles into rows, renaming
// the selected rows' files after their tags. The playlist window's command table
// calls these with its rows; the tag code itself knows nothing of rows.
#pragma once

#include <optional>
#include <string>

#include "playlist/row_store.h"
#include "tags/editor/rename_by_tag.h"

namespace kestrun::app {

// One row's title and artist from its file's tags: the title cell gets the title,
// or the path's file-name part when the title is empty; the artist cell is set
// only when an artist was found.
void ReadEntryTags(playlist::RowStore& rows, int row, bool alwaysId3v1);

// The rename form of a command of the "リネーム(&M)" menu, nothing for others.
std::optional<tags::RenameForm> RenameFormForCommand(int command);

// Renames the files of the selected rows in list order; a renamed row's path cell
// gets the new path, nothing else of it changes. Returns how many were renamed.
int RenameSelectedRows(playlist::RowStore& rows, tags::RenameForm form, const tags::RenameOptions& options);

// The first selected row's path, as the tag editor command opens it.
std::optional<std::string> FirstSelectedPath(const playlist::RowStore& rows);

}  // namespace kestrun::app
