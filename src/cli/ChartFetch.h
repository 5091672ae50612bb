// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <expected>
#include <string>

namespace brenvik::cli {

struct FetchedBody {
    std::string body;    // inflated when the server compressed it
    std::string charset; // from the Content-Type header, empty when it names none
};

struct FetchFailure {
    std::string reason; // a short Chinese phrase, as the window words it: "连接被拒绝", "等待超时" ...
};

// Loads one page with a plain GET, bounded as the window's fetcher is: a time-out for the whole
// request, five redirects (never from https to http), and 16 MB of body after decompression.
class ChartFetch {
public:
    static constexpr std::chrono::milliseconds kTimeout{20000};
    static constexpr long kMaxRedirects = 5;

    ChartFetch();
    ~ChartFetch();
    ChartFetch(const ChartFetch&) = delete;
    ChartFetch& operator=(const ChartFetch&) = delete;

    std::expected<FetchedBody, FetchFailure> get(const std::string& url);

private:
    bool m_initialised = false;
};

} // namespace brenvik::cli
