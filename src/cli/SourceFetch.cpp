// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceFetch.h"

#include "HttpPlugin.h"
#include "PageText.h"
#include "Platform.h"
#include "SystemError.h"

#include <memory>

namespace brenvik::cli {

namespace {

// The network library and the libraries it draws in (TLS, Kerberos, LDAP, ...) take a few
// milliseconds to load and set up, more than a whole search of the real history. Only fetching
// a page needs them, so their plugin is loaded then, once, and stays loaded for the rest of the
// process.
const std::expected<const BrenvikHttpPlugin*, std::string>& httpPlugin() {
    using Loaded = std::expected<const BrenvikHttpPlugin*, std::string>;
    static const Loaded plugin = []() -> Loaded {
        const auto file = pluginFile(kHttpPluginName);
        auto loaded = loadPlugin(file, kHttpPluginEntry, kHttpPluginVersion);
        if (!loaded)
            return std::unexpected("网络错误：无法载入网络组件 " + shownPath(file) + "：" + loaded.error());
        return static_cast<const BrenvikHttpPlugin*>(*loaded);
    }();
    return plugin;
}

struct Download {
    std::string body;
    bool tooLarge = false;
};

int collect(void* user, const char* data, std::size_t n) {
    auto* d = static_cast<Download*>(user);
    // What arrives here is already inflated, so a small compressed body that inflates past the
    // limit is stopped as soon as it does.
    if (d->body.size() + n > kMaxPageBytes) {
        d->tooLarge = true;
        return 0;
    }
    d->body.append(data, n);
    return 1;
}

std::string reasonOf(const BrenvikHttpReply& reply) {
    switch (reply.outcome) {
    case HttpRefused:
        return "连接被拒绝";
    case HttpNoHost:
        return "找不到服务器";
    case HttpTimedOut:
        return "等待超时";
    case HttpTooManyRedirects:
        return "重定向次数过多";
    case HttpTooLarge:
        return "网页超过 16 MB";
    case HttpHeaderTooLarge:
        return "网络错误：" + causeText(SystemCause::ResponseTooLarge);
    default:
        return std::string("网络错误（") + (reply.libraryText ? reply.libraryText : "") + "）";
    }
}

} // namespace

// The plugin, and the one session of the run.
struct SourceFetch::Handle {
    const BrenvikHttpPlugin* plugin = nullptr;
    void* session = nullptr;
    ~Handle() {
        if (session)
            plugin->close(session);
    }
};

SourceFetch::SourceFetch() {
    const auto& plugin = httpPlugin();
    if (!plugin)
        return;
    m_handle = std::make_unique<Handle>();
    m_handle->plugin = *plugin;
    m_handle->session = (*plugin)->open();
}

SourceFetch::~SourceFetch() = default;

std::expected<SourceReply, SourceFailure> SourceFetch::get(const SourceRequest& request) {
    if (const auto& plugin = httpPlugin(); !plugin)
        return std::unexpected(SourceFailure{plugin.error()});
    if (!m_handle || !m_handle->session)
        return std::unexpected(SourceFailure{"网络错误：无法初始化"});
    Download d;
    const std::string agent(kBrowserUserAgent);
    const BrenvikHttpRequest r{
        .url = request.url.c_str(),
        .redirectProtocols = request.url.starts_with("https:") ? "https" : "http,https",
        .userAgent = agent.c_str(),
        .referer = request.referer.empty() ? nullptr : request.referer.c_str(),
        .timeoutMs = static_cast<long>(kTimeout.count()),
        .maxRedirects = kMaxRedirects,
        // A declared length over the limit is refused before any of it is read.
        .maxBytes = static_cast<long long>(kMaxPageBytes),
        .body = &collect,
        .user = &d,
    };
    BrenvikHttpReply reply{};
    m_handle->plugin->get(m_handle->session, &r, &reply);
    if (d.tooLarge)
        return std::unexpected(SourceFailure{"网页超过 16 MB"});
    if (reply.outcome != HttpDone)
        return std::unexpected(SourceFailure{reasonOf(reply)});
    const long status = reply.status;
    if (status >= 400)
        return std::unexpected(
            SourceFailure{"服务器返回错误 " + std::to_string(status), static_cast<int>(status)});
    if (status < 200 || status >= 300)
        return std::unexpected(SourceFailure{"服务器返回状态 " + std::to_string(status)});
    return SourceReply{std::move(d.body),
                       reply.contentType ? charsetOfContentType(reply.contentType) : std::string()};
}

} // namespace brenvik::cli
