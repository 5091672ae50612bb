#pragma once

#include "Game.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::cli {

enum class Command { Import, Export, Add, Follow, Combo, Update, Undo, Omission };

struct Options {
    std::string home;       // empty: the window's default data folder
    Game game = Game::Fc3d; // whose history every command works on; never the saved setting
    Command command = Command::Follow;
    std::vector<std::string> arguments; // FILE, or ISSUE and DDD

    // Search options, the window's first-run defaults.
    bool freePositions = true;
    std::optional<int> back; // N of "前    期"; none for "上期"
    int type = 0;            // search type 0..3
    std::optional<std::array<int, 3>> pattern;
    std::optional<std::int32_t> before; // chosen issue, as the third tab with its limit ticked
    std::array<bool, 3> check{true, true, true};
    bool checkGiven = false;
    int size = 2;
    int resultType = 0;
    int resultPosition = 1;
    bool group = false;
    std::optional<std::pair<std::int32_t, std::int32_t>> range;
    std::optional<std::size_t> last; // omission: the newest N draws
    int segment = 1;
    bool segmentGiven = false;
    bool json = false;
    bool matched = false;
    bool help = false;
    bool version = false;

    // Online update: none means the stored setting.
    std::optional<std::string> site;
    std::optional<int> years;
    bool yes = false;   // update: the retention rule may remove old draws; undo: do it, not only say what
    bool force = false; // import: also a file whose draws disagree with the history's
};

// Reads the command line. On a mistake: the one-line message for stderr.
struct ParseResult {
    std::optional<Options> options;
    std::string error;
};
ParseResult parseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;

} // namespace brenvik::cli
