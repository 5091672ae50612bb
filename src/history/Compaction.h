// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "HistoryStore.h"

#include <filesystem>
#include <memory>

namespace brenvik {

// Compacts the history database `databaseFile` of `game` (kestrel3D.mdb) through the game's
// temporary file (kestrel3DTmp.mdb) in the same folder. No connection to the file may be open.
// The database is checked first; the compacted copy is written to the temporary file, checked,
// and a complete copy of it replaces the database in one rename. The temporary file stays in the
// folder. On any failure the database file is left as it was.
Result<void> compactDatabase(const std::filesystem::path& databaseFile, Game game = Game::Fc3d);

// Closes `store`, compacts its file and opens it again into `store`. When the compaction fails
// the old file is reopened and the compaction's error returned; `store` is empty afterwards
// only when the file could not be reopened at all.
Result<void> compactAndReopen(std::unique_ptr<HistoryStore>& store);

} // namespace brenvik
