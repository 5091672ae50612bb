// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoredSettings.h"

#include "Platform.h"

#include <fstream>

namespace brenvik::cli {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value as QSettings writes a string: quoted when it holds blanks at its ends or separators,
// with C-style escapes, and a leading "@" doubled.
std::string unescaped(std::string_view raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"')
            continue;
        if (c != '\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const char e = raw[++i];
        switch (e) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x': {
            unsigned code = 0;
            int digits = 0;
            for (int v; digits < 4 && i + 1 < raw.size() && (v = hexValue(raw[i + 1])) >= 0; ++digits, ++i)
                code = code * 16 + static_cast<unsigned>(v);
            appendUtf8(out, code);
            break;
        }
        default:
            out += e;
        }
    }
    if (out.starts_with("@@"))
        out.erase(0, 1);
    return out;
}

} // namespace

std::filesystem::path settingsFile() {
    return settingsFilePath();
}

std::map<std::string, std::string, std::less<>> readIniSection(std::istream& in, std::string_view section) {
    std::map<std::string, std::string, std::less<>> values;
    bool inSection = false;
    std::string line;
    // A settings file is a few hundred bytes; a line longer than this is no setting of ours.
    constexpr std::size_t kMaxLine = 4096;
    while (std::getline(in, line)) {
        if (line.size() > kMaxLine)
            continue;
        const std::string_view l = trimmed(line);
        if (l.starts_with('[') && l.ends_with(']')) {
            inSection = l.substr(1, l.size() - 2) == section;
            continue;
        }
        const auto eq = l.find('=');
        if (!inSection || l.starts_with(';') || l.starts_with('#') || eq == std::string_view::npos)
            continue;
        values[std::string(trimmed(l.substr(0, eq)))] = unescaped(trimmed(l.substr(eq + 1)));
    }
    return values;
}

SettingsValues storedSettings() {
    // A pipe in the settings file's place would keep the companion waiting for a writer.
    const bool regular = fileStatus(settingsFile()).kind == FileKind::Regular;
    std::ifstream in;
    if (regular)
        in.open(settingsFile());
    const auto values =
        in ? readIniSection(in, "IniSetting") : std::map<std::string, std::string, std::less<>>{};
    return SettingsValues::read([&](std::string_view key) -> std::optional<std::string> {
        const auto it = values.find(key);
        if (it == values.end())
            return std::nullopt;
        return it->second;
    });
}

} // namespace brenvik::cli
