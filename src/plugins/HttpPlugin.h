// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The companion's web client as a plugin of its own, brenvik3d-http.so: libcurl behind a table of
// C functions. The companion neither links libcurl nor names its file; it loads the plugin when
// it first fetches a page, which spares every other command the loading of the network library
// and the TLS, Kerberos and LDAP libraries it draws in.

#include <cstddef>

extern "C" {

// One GET.
struct BrenvikHttpRequest {
    const char* url;
    const char* redirectProtocols; // where a redirect may lead: "https", or "http,https"
    const char* userAgent;
    const char* referer; // null for none
    long timeoutMs;      // for the whole request
    long maxRedirects;
    long long maxBytes; // a body declared larger is refused before it is read
    // Takes the body as it arrives, already inflated; returns zero to stop the transfer.
    int (*body)(void* user, const char* data, std::size_t size);
    void* user;
};

struct BrenvikHttpReply {
    int outcome;             // a brenvik::HttpOutcome
    long status;             // the HTTP status, when the request was Done
    const char* contentType; // its Content-Type, null for none; valid until the session's next request
    const char* libraryText; // the network library's own words for an Other failure
};

struct BrenvikHttpPlugin {
    unsigned version;
    // A session: one connection handle for all its requests, so the cookies a page sets go with
    // every later request, as a browser's would; they are never written anywhere. Null when the
    // network library cannot be set up.
    void* (*open)(void);
    void (*close)(void* session);
    void (*get)(void* session, const BrenvikHttpRequest* request, BrenvikHttpReply* reply);
};

} // extern "C"

namespace brenvik {

enum HttpOutcome : int {
    HttpDone,             // an answer came, whatever its status
    HttpRefused,          // the connection was refused
    HttpNoHost,           // the host's name was not found
    HttpTimedOut,         // the whole request took longer than its time
    HttpTooManyRedirects, // more than maxRedirects
    HttpTooLarge,         // a body declared larger than maxBytes
    HttpHeaderTooLarge,   // a header line longer than the library takes
    HttpOther,            // any other failure, in libraryText
};

// Changes whenever the table or what its functions do changes.
inline constexpr unsigned kHttpPluginVersion = 1;
// The plugin's name, which pluginFile() makes the name of a file of this system.
inline constexpr const char* kHttpPluginName = "brenvik3d-http";
// The plugin's only exported function: `const void* brenvik_http_plugin(void)`, its table.
inline constexpr const char* kHttpPluginEntry = "brenvik_http_plugin";

} // namespace brenvik
