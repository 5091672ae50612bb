// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOutput.h"

#include <iostream>

#include <algorithm>
#include <cstdio>

namespace brenvik::cli {

namespace {

std::string text(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void write(std::string& out, const Json& value, const std::vector<std::string>& percentKeys) {
    if (value.is_object()) {
        out += '{';
        const char* separator = "";
        for (const auto& [key, item] : value.items()) {
            out += separator;
            out += text(Json(key));
            out += ": ";
            if (item.is_number_float() && std::ranges::find(percentKeys, key) != percentKeys.end()) {
                char digits[32];
                std::snprintf(digits, sizeof digits, "%.12g", item.get<double>());
                out += digits;
            } else {
                write(out, item, percentKeys);
            }
            separator = ", ";
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        const char* separator = "";
        for (const Json& item : value) {
            out += separator;
            write(out, item, percentKeys);
            separator = ", ";
        }
        out += ']';
    } else {
        out += text(value);
    }
}

} // namespace

// Width of UTF-8 text on a terminal: Chinese characters take two columns, the dashes and other
// general punctuation (U+2000..U+206F, three bytes from E2 80 or E2 81) one.
std::size_t displayWidth(const std::string& s) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const bool punctuation = len == 3 && c == 0xE2 && i + 1 < s.size() &&
                                 (static_cast<unsigned char>(s[i + 1]) & 0xFE) == 0x80;
        width += len >= 3 && !punctuation ? 2 : 1;
        i += len;
    }
    return width;
}

std::string jsonLine(const Json& value, const std::vector<std::string>& percentKeys) {
    std::string out;
    write(out, value, percentKeys);
    return out;
}

std::string jsonDocument(const Json& object, const std::vector<std::string>& percentKeys) {
    Json document = {{"format", kJsonFormat}};
    for (const auto& [key, value] : object.items())
        document[key] = value;
    return jsonLine(document, percentKeys);
}

std::string tableText(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths.push_back(0);
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::size_t w = displayWidth(row[c]);
            text +=
                std::string(c ? 2 : 0, ' ') + std::string(w < widths[c] ? widths[c] - w : 0, ' ') + row[c];
        }
        text += '\n';
    }
    return text;
}

namespace {
bool g_quiet = false;
bool verboseFailures = false;
} // namespace

void setQuiet(bool quiet) {
    g_quiet = quiet;
}

void progressLine(const std::string& line) {
    if (!g_quiet)
        std::cout << line << std::endl;
}

int failWith(const std::string& message) {
    std::cerr << message << '\n';
    return kFailed;
}

int failWith(const Error& error) {
    std::cerr << error.message << '\n';
    if (verboseFailures && !error.detail.empty())
        std::cerr << "详细信息：" << error.detail << '\n';
    return kFailed;
}

void setVerbose(bool verbose) {
    verboseFailures = verbose;
}

} // namespace brenvik::cli
