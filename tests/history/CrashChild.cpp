// The process the crash tests kill: it runs one change of the history and is killed at a
// moment the test picks. It says "go" on its standard output once the database is open, so the
// delay the test waits is spent inside the change itself.
//   crash_child import  <database> <history file> <segment parameter>
//   crash_child rebuild <database> <backup file>  <segment parameter>
//   crash_child compact <database>
//   crash_child import-undo <database> <history file> <segment parameter>   (with its undo backup)
#include "Compaction.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "UndoBackup.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace brenvik;

namespace {

int usage() {
    std::fputs("usage: crash_child import|rebuild|import-undo|compact|undo <database> [file segment]\n",
               stderr);
    return 2;
}

void sayGo() {
    std::fputs("go\n", stdout);
    std::fflush(stdout);
}

int report(const Error& e) {
    std::fprintf(stderr, "%s\n", e.message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string_view mode = argv[1];
    const std::filesystem::path database = argv[2];
    if (mode == "compact") {
        sayGo();
        auto compacted = compactDatabase(database);
        return compacted ? 0 : report(compacted.error());
    }
    auto store = HistoryStore::open(database);
    if (!store)
        return report(store.error());
    // The window holds its snapshot before a change begins.
    auto snapshot = (*store)->loadSnapshot();
    if (!snapshot)
        return report(snapshot.error());
    if (argc < 5 || (mode != "import" && mode != "rebuild" && mode != "import-undo"))
        return usage();
    const int segment = std::atoi(argv[4]);
    sayGo();
    if (mode == "import-undo") {
        auto counts = changeWithUndo(**store, **snapshot, "读入",
                                     [&] { return importHistoryFile(**store, argv[3], segment); });
        return counts ? 0 : report(counts.error());
    }
    auto counts = mode == "import" ? importHistoryFile(**store, argv[3], segment)
                                   : rebuildFromBackup(**store, argv[3], segment);
    return counts ? 0 : report(counts.error());
}
