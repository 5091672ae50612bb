// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SourceReader.h"

#include <chrono>
#include <memory>

namespace brenvik::cli {

// Loads the pages of the online update with plain GETs, bounded as the window's fetcher is: a
// time-out for the whole request, five redirects (never from https to http), and 16 MB of body
// after decompression. One connection handle serves the whole run, so the cookies a page sets
// go with every later request, as a browser's would; they are never written anywhere.
class SourceFetch : public SourceTransport {
public:
    static constexpr std::chrono::milliseconds kTimeout{20000};
    static constexpr long kMaxRedirects = 5;

    SourceFetch();
    ~SourceFetch() override;
    SourceFetch(const SourceFetch&) = delete;
    SourceFetch& operator=(const SourceFetch&) = delete;

    std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) override;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

} // namespace brenvik::cli
