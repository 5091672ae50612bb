// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpPlugin.h"

#include <curl/curl.h>

namespace {

struct Session {
    CURL* easy;
    const BrenvikHttpRequest* request = nullptr;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    const BrenvikHttpRequest* r = static_cast<Session*>(user)->request;
    const std::size_t n = size * count;
    return r->body(r->user, data, n) ? n : 0;
}

void* openSession() {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return nullptr;
    CURL* easy = curl_easy_init();
    if (!easy) {
        curl_global_cleanup();
        return nullptr;
    }
    // An empty name turns the cookie engine on without reading or writing any file.
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    return new Session{easy};
}

void closeSession(void* session) {
    auto* s = static_cast<Session*>(session);
    curl_easy_cleanup(s->easy);
    delete s;
    curl_global_cleanup();
}

brenvik::HttpOutcome outcomeOf(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return brenvik::HttpDone;
    case CURLE_COULDNT_CONNECT:
        return brenvik::HttpRefused;
    case CURLE_COULDNT_RESOLVE_HOST:
        return brenvik::HttpNoHost;
    case CURLE_OPERATION_TIMEDOUT:
        return brenvik::HttpTimedOut;
    case CURLE_TOO_MANY_REDIRECTS:
        return brenvik::HttpTooManyRedirects;
    case CURLE_FILESIZE_EXCEEDED:
        return brenvik::HttpTooLarge;
    // The library's word for a header line longer than it takes.
    case CURLE_OUT_OF_MEMORY:
        return brenvik::HttpHeaderTooLarge;
    default:
        return brenvik::HttpOther;
    }
}

void fetch(void* session, const BrenvikHttpRequest* request, BrenvikHttpReply* reply) {
    auto* s = static_cast<Session*>(session);
    CURL* c = s->easy;
    s->request = request;
    curl_easy_setopt(c, CURLOPT_URL, request->url);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, request->redirectProtocols);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, request->maxRedirects);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, request->timeoutMs);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request->maxBytes));
    curl_easy_setopt(c, CURLOPT_USERAGENT, request->userAgent);
    curl_easy_setopt(c, CURLOPT_REFERER, request->referer);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, s);

    const CURLcode code = curl_easy_perform(c);
    *reply = BrenvikHttpReply{outcomeOf(code), 0, nullptr, curl_easy_strerror(code)};
    if (code != CURLE_OK)
        return;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply->status);
    char* type = nullptr;
    curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type);
    reply->contentType = type;
}

const BrenvikHttpPlugin kPlugin{brenvik::kHttpPluginVersion, &openSession, &closeSession, &fetch};

} // namespace

extern "C" [[gnu::visibility("default")]] const void* brenvik_http_plugin() {
    return &kPlugin;
}
