// SPDX-License-Identifier: GPL-3.0-or-later
// Fills the templates of the companion's manual page and its bash, zsh and fish completion with
// what its commands are defined with, so that none of them can fall behind the program.
//
// Usage: companion-interface man|bash|zsh|fish TEMPLATE OUTPUT
#include "CliInterface.h"
#include "CliOptions.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char* argv[]) {
    using namespace brenvik::cli;
    const std::string kind = argc == 4 ? argv[1] : "";
    if (kind != "man" && kind != "bash" && kind != "zsh" && kind != "fish") {
        std::cerr << "usage: companion-interface man|bash|zsh|fish TEMPLATE OUTPUT\n";
        return 2;
    }
    Commands commands;
    addCompanionCommands(commands);
    const auto all = commands.interface();
    std::vector<std::pair<std::string, std::string>> parts;
    if (kind == "man")
        parts = {{R"(.\" generated: synopsis)", manSynopsis(all)},
                 {R"(.\" generated: options)", manOptions(all)},
                 {R"(.\" generated: exit status)", manExitStatus(all)}};
    else if (kind == "bash")
        parts = {{"    # generated: tables", bashCompletionTables(all)}};
    else if (kind == "zsh")
        parts = {{"    # generated: tables", zshCompletionTables(all)}};
    else
        parts = {{"# generated: tables", fishCompletionTables(all)}};

    std::ifstream in(argv[2]);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << "companion-interface: cannot read " << argv[2] << '\n';
        return 1;
    }
    const auto filled = fillMarkers(text.str(), parts);
    if (!filled) {
        std::cerr << "companion-interface: " << argv[2] << ": " << filled.error() << '\n';
        return 1;
    }
    std::ofstream out(argv[3], std::ios::binary);
    out << *filled;
    if (!out.flush()) {
        std::cerr << "companion-interface: cannot write " << argv[3] << '\n';
        return 1;
    }
    return 0;
}
