// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceFetch.h"

#include "PageText.h"
#include "SharedLibrary.h"
#include "SystemError.h"

// The library's types and constants only: its functions are looked up when a page is fetched.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <memory>
#include <optional>

namespace brenvik::cli {

namespace {

// The network library and the libraries it draws in (TLS, Kerberos, LDAP, ...) take a few
// milliseconds to load and set up, more than a whole search of the real history. Only fetching
// a page needs them, so they are loaded then, once, and stay loaded for the rest of the process.
struct Curl {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_global_cleanup) globalCleanup = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_perform) easyPerform = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
};

// The library's functions; nothing when it cannot be loaded or lacks one of them.
const Curl* curlLibrary() {
    static const std::optional<Curl> library = loadLibrary<Curl>("libcurl.so.4", [](Curl& c, auto find) {
        find(c.globalInit, "curl_global_init");
        find(c.globalCleanup, "curl_global_cleanup");
        find(c.easyInit, "curl_easy_init");
        find(c.easyCleanup, "curl_easy_cleanup");
        find(c.easySetopt, "curl_easy_setopt");
        find(c.easyPerform, "curl_easy_perform");
        find(c.easyGetinfo, "curl_easy_getinfo");
        find(c.easyStrerror, "curl_easy_strerror");
    });
    return library ? &*library : nullptr;
}

struct Download {
    std::string body;
    bool tooLarge = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* d = static_cast<Download*>(user);
    const std::size_t n = size * count;
    // What arrives here is already inflated, so a small compressed body that inflates past the
    // limit is stopped as soon as it does.
    if (d->body.size() + n > kMaxPageBytes) {
        d->tooLarge = true;
        return 0;
    }
    d->body.append(data, n);
    return n;
}

std::string reasonOf(const Curl& lib, CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        return "连接被拒绝";
    case CURLE_COULDNT_RESOLVE_HOST:
        return "找不到服务器";
    case CURLE_OPERATION_TIMEDOUT:
        return "等待超时";
    case CURLE_TOO_MANY_REDIRECTS:
        return "重定向次数过多";
    case CURLE_FILESIZE_EXCEEDED:
        return "网页超过 16 MB";
    // The library's word for a header line longer than it takes.
    case CURLE_OUT_OF_MEMORY:
        return "网络错误：" + causeText(SystemCause::ResponseTooLarge);
    default:
        return std::string("网络错误（") + lib.easyStrerror(code) + "）";
    }
}

} // namespace

// The library, set up once for the process, and the one connection handle of the run.
struct SourceFetch::Handle {
    const Curl* lib = nullptr;
    CURL* easy = nullptr;
    ~Handle() {
        if (easy)
            lib->easyCleanup(easy);
        if (lib)
            lib->globalCleanup();
    }
};

SourceFetch::SourceFetch() {
    const Curl* lib = curlLibrary();
    if (!lib || lib->globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return;
    m_handle = std::make_unique<Handle>();
    m_handle->lib = lib;
    m_handle->easy = lib->easyInit();
    // An empty name turns the cookie engine on without reading or writing any file.
    if (m_handle->easy)
        lib->easySetopt(m_handle->easy, CURLOPT_COOKIEFILE, "");
}

SourceFetch::~SourceFetch() = default;

std::expected<SourceReply, SourceFailure> SourceFetch::get(const SourceRequest& request) {
    if (!curlLibrary())
        return std::unexpected(SourceFailure{"网络错误：无法载入网络库 libcurl.so.4"});
    if (!m_handle || !m_handle->easy)
        return std::unexpected(SourceFailure{"网络错误：无法初始化"});
    const Curl* lib = m_handle->lib;
    CURL* c = m_handle->easy;
    Download d;
    const bool secure = request.url.starts_with("https:");
    lib->easySetopt(c, CURLOPT_URL, request.url.c_str());
    lib->easySetopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easySetopt(c, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    lib->easySetopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    lib->easySetopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    lib->easySetopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(kTimeout.count()));
    lib->easySetopt(c, CURLOPT_NOSIGNAL, 1L);
    lib->easySetopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    // A declared length over the limit is refused before any of it is read.
    lib->easySetopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxPageBytes));
    const std::string agent(kBrowserUserAgent);
    lib->easySetopt(c, CURLOPT_USERAGENT, agent.c_str());
    lib->easySetopt(c, CURLOPT_REFERER, request.referer.empty() ? nullptr : request.referer.c_str());
    lib->easySetopt(c, CURLOPT_WRITEFUNCTION, collect);
    lib->easySetopt(c, CURLOPT_WRITEDATA, &d);

    const CURLcode code = lib->easyPerform(c);
    if (d.tooLarge)
        return std::unexpected(SourceFailure{"网页超过 16 MB"});
    if (code != CURLE_OK)
        return std::unexpected(SourceFailure{reasonOf(*lib, code)});
    long status = 0;
    lib->easyGetinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400)
        return std::unexpected(
            SourceFailure{"服务器返回错误 " + std::to_string(status), static_cast<int>(status)});
    if (status < 200 || status >= 300)
        return std::unexpected(SourceFailure{"服务器返回状态 " + std::to_string(status)});
    const char* type = nullptr;
    lib->easyGetinfo(c, CURLINFO_CONTENT_TYPE, &type);
    return SourceReply{std::move(d.body), type ? charsetOfContentType(type) : std::string()};
}

} // namespace brenvik::cli
