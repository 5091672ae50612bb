// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <expected>

class QNetworkReply;

namespace brenvik::ui {

struct FetchedPage {
    QByteArray body;
    QString charset; // from the Content-Type header, empty when it names none
    QUrl url;        // where the page was found after redirects
};

struct FetchError {
    enum class Kind {
        Refused,
        HostNotFound,
        Timeout,
        TooLarge,
        TooManyRedirects,
        HttpStatus,
        Cancelled,
        Unreadable, // loaded, but not read within the time allowed
        Other
    };
    Kind kind = Kind::Other;
    int httpStatus = 0;
    QString reason; // a short Chinese phrase: "连接被拒绝", "等待超时" ...
};

// Loads one web page at a time with a plain GET, as a browser asks for it. While it waits it keeps
// the event loop running, so the window repaints and a Cancel button works. Every request is
// bounded: a time-out for the whole request, a number of redirects and a body size. The cookies
// pages set are kept in memory for as long as the fetcher lives, and sent with later requests.
class PageFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{20000};
    static constexpr int kMaxRedirects = 5;

    explicit PageFetcher(QObject* parent = nullptr);

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    std::chrono::milliseconds timeout() const { return m_timeout; }

    // Returns when the page is in, the request failed or cancel() was called. `referer` is sent
    // as the page the request comes from, when given.
    std::expected<FetchedPage, FetchError> get(const QUrl& url, const QByteArray& referer = {});

    // Stops the request under way; get() then reports Cancelled.
    void cancel();

private:
    QNetworkAccessManager m_manager;
    std::chrono::milliseconds m_timeout = kDefaultTimeout;
    QPointer<QNetworkReply> m_reply;
    bool m_cancelled = false;
};

} // namespace brenvik::ui
