// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the released entries of CHANGELOG.md (Keep a Changelog) as a Debian changelog, the one a
// Debian system expects in the package's documentation. Unreleased changes have no version and no
// date yet, so they wait for their release.
//
// Usage: debian-changelog CHANGELOG.md PACKAGE "NAME <MAIL>" OUTPUT
#include "CliInterface.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Group {
    std::string heading; // Added, Changed, Fixed; empty for items under no heading
    std::vector<std::string> items;
};

struct Release {
    std::string version;
    std::string date; // YYYY-MM-DD
    std::vector<Group> groups;
};

// Markdown that means nothing in plain text: code quotes, and links reduced to their text.
std::string plain(const std::string& text) {
    static const std::regex link(R"(\[([^\]]*)\]\([^)]*\))");
    std::string out = std::regex_replace(text, link, "$1");
    std::erase(out, '`');
    return out;
}

// 2026-12-08 as "Tue, 08 Dec 2026 00:00:00 +0000"; empty for a date that does not exist.
std::string rfc2822(const std::string& date) {
    using namespace std::chrono;
    int y = 0;
    unsigned m = 0, d = 0;
    if (std::sscanf(date.c_str(), "%4d-%2u-%2u", &y, &m, &d) != 3)
        return {};
    const year_month_day ymd{year{y}, month{m}, day{d}};
    if (!ymd.ok())
        return {};
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02u %s %04d 00:00:00 +0000",
                  days[weekday{sys_days{ymd}}.c_encoding()], d, months[m - 1], y);
    return text;
}

std::vector<Release> releases(std::istream& in) {
    static const std::regex release(R"(^## \[([^\]]+)\] - (\d{4}-\d{2}-\d{2})\s*$)");
    std::vector<Release> out;
    bool inRelease = false;
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, release)) {
            out.push_back({m[1], m[2], {}});
            inRelease = true;
        } else if (line.starts_with("## ")) {
            inRelease = false; // [Unreleased]
        } else if (!inRelease) {
            continue;
        } else if (line.starts_with("### ")) {
            out.back().groups.push_back({line.substr(4), {}});
        } else if (line.starts_with("- ")) {
            if (out.back().groups.empty())
                out.back().groups.push_back({});
            out.back().groups.back().items.push_back(line.substr(2));
        } else if (line.starts_with("  ") && !out.back().groups.empty() &&
                   !out.back().groups.back().items.empty()) {
            out.back().groups.back().items.back() += ' ' + line.substr(line.find_first_not_of(' '));
        }
    }
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    using brenvik::cli::wrapText;
    if (argc != 5) {
        std::cerr << "usage: debian-changelog CHANGELOG.md PACKAGE \"NAME <MAIL>\" OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "debian-changelog: cannot read " << argv[1] << '\n';
        return 1;
    }
    const std::vector<Release> all = releases(in);
    if (all.empty()) {
        std::cerr << "debian-changelog: " << argv[1] << " has no released version\n";
        return 1;
    }
    std::string text;
    for (const Release& r : all) {
        const std::string date = rfc2822(r.date);
        if (date.empty()) {
            std::cerr << "debian-changelog: version " << r.version << " has no real date: " << r.date << '\n';
            return 1;
        }
        text += std::string(text.empty() ? "" : "\n") + argv[2] + " (" + r.version +
                ") unstable; urgency=medium\n\n";
        for (const Group& g : r.groups) {
            const bool headed = !g.heading.empty();
            if (headed)
                text += "  * " + g.heading + ":\n";
            for (const std::string& item : g.items)
                text +=
                    (headed ? "    - " : "  * ") + wrapText(plain(item), headed ? 72 : 74, headed ? 6 : 4);
        }
        text += "\n -- " + std::string(argv[3]) + "  " + date + '\n';
    }
    std::ofstream out(argv[4], std::ios::binary);
    out << text;
    if (!out.flush()) {
        std::cerr << "debian-changelog: cannot write " << argv[4] << '\n';
        return 1;
    }
    return 0;
}
