#include "ChartFetch.h"

#include "PageText.h"

#include <curl/curl.h>

#include <memory>

namespace brenvik::cli {

namespace {

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

struct EasyFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

std::string reasonOf(CURLcode code) {
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
    default:
        return std::string("网络错误：") + curl_easy_strerror(code);
    }
}

} // namespace

ChartFetch::ChartFetch() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

ChartFetch::~ChartFetch() {
    curl_global_cleanup();
}

std::expected<FetchedBody, FetchFailure> ChartFetch::get(const std::string& url) {
    std::unique_ptr<CURL, EasyFree> curl(curl_easy_init());
    if (!curl)
        return std::unexpected(FetchFailure{"网络错误：无法初始化"});
    CURL* c = curl.get();
    Download d;
    const bool secure = url.starts_with("https:");
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(kTimeout.count()));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    // A declared length over the limit is refused before any of it is read.
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxPageBytes));
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Brenvik3D");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &d);

    const CURLcode code = curl_easy_perform(c);
    if (d.tooLarge)
        return std::unexpected(FetchFailure{"网页超过 16 MB"});
    if (code != CURLE_OK)
        return std::unexpected(FetchFailure{reasonOf(code)});
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400)
        return std::unexpected(FetchFailure{"服务器返回错误 " + std::to_string(status)});
    if (status < 200 || status >= 300)
        return std::unexpected(FetchFailure{"服务器返回状态 " + std::to_string(status)});
    const char* type = nullptr;
    curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type);
    return FetchedBody{std::move(d.body), type ? charsetOfContentType(type) : std::string()};
}

} // namespace brenvik::cli
