// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageFetcher.h"

#include "DrawSource.h"
#include "PageText.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <optional>

namespace brenvik::ui {

namespace {

FetchError failure(FetchError::Kind kind, const QString& reason, int status = 0) {
    return FetchError{kind, status, reason};
}

FetchError tooLarge() {
    return failure(FetchError::Kind::TooLarge, QStringLiteral("网页超过 16 MB"));
}

FetchError errorOf(QNetworkReply* reply, int status) {
    using K = FetchError::Kind;
    if (status >= 400)
        return failure(K::HttpStatus, QStringLiteral("服务器返回错误 %1").arg(status), status);
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return failure(K::Refused, QStringLiteral("连接被拒绝"));
    case QNetworkReply::HostNotFoundError:
        return failure(K::HostNotFound, QStringLiteral("找不到服务器"));
    case QNetworkReply::TimeoutError:
        return failure(K::Timeout, QStringLiteral("等待超时"));
    case QNetworkReply::TooManyRedirectsError:
        return failure(K::TooManyRedirects, QStringLiteral("重定向次数过多"));
    default:
        // Qt's own words follow in brackets: the program has none of its own for them.
        return failure(K::Other, QStringLiteral("网络错误（%1）").arg(reply->errorString()));
    }
}

} // namespace

PageFetcher::PageFetcher(QObject* parent) : QObject(parent) {}

void PageFetcher::cancel() {
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
}

std::expected<FetchedPage, FetchError> PageFetcher::get(const QUrl& url, const QByteArray& referer) {
    m_cancelled = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // The operators' firewalls answer other programs with a page that says no.
    request.setHeader(
        QNetworkRequest::UserAgentHeader,
        QString::fromLatin1(kBrowserUserAgent.data(), static_cast<qsizetype>(kBrowserUserAgent.size())));
    if (!referer.isEmpty())
        request.setRawHeader("Referer", referer);
    // Qt's own check of compressed bodies leaves the reply hanging until the time-out when it
    // trips on a server that keeps the connection open; the inflated bytes are counted below
    // against the page limit instead, which stops such a body at once.
    request.setDecompressedSafetyCheckThreshold(-1);

    QNetworkReply* reply = m_manager.get(request);
    m_reply = reply;
    // Qt would otherwise hold any amount the server sends until it is read.
    reply->setReadBufferSize(256 * 1024);
    const qint64 limit = static_cast<qint64>(kMaxPageBytes);

    QByteArray body;
    std::optional<FetchError> stopped;
    auto stop = [&](FetchError why) {
        if (!stopped)
            stopped = std::move(why);
        reply->abort();
    };

    // The handlers refer to this frame, so they are cut off before it ends even though the reply
    // lives on until its deferred deletion.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, reply,
            [&] { stop(failure(FetchError::Kind::Timeout, QStringLiteral("等待超时"))); });
    const auto onMeta = connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        // A declared length over the limit is refused before any of it is read.
        bool known = false;
        const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > limit &&
            !reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
            stop(tooLarge());
    });
    const auto onData = connect(reply, &QNetworkReply::readyRead, reply, [&] {
        body += reply->read(limit + 1 - body.size());
        if (body.size() > limit)
            stop(tooLarge());
    });
    const auto onDone = connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(m_timeout);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!stopped && !m_cancelled && reply->error() == QNetworkReply::NoError && status < 400 &&
        body.size() <= limit) {
        body += reply->read(limit + 1 - body.size());
        if (body.size() > limit)
            stopped = tooLarge();
    }
    const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QUrl finalUrl = reply->url();
    const bool failed = reply->error() != QNetworkReply::NoError || status >= 400;
    const FetchError networkError = failed ? errorOf(reply, status) : FetchError{};
    m_reply = nullptr;
    disconnect(onMeta);
    disconnect(onData);
    disconnect(onDone);
    reply->deleteLater();

    if (m_cancelled)
        return std::unexpected(failure(FetchError::Kind::Cancelled, QStringLiteral("已取消")));
    if (stopped)
        return std::unexpected(*stopped);
    if (failed)
        return std::unexpected(networkError);
    if (status != 0 && (status < 200 || status >= 300))
        return std::unexpected(
            failure(FetchError::Kind::HttpStatus, QStringLiteral("服务器返回状态 %1").arg(status), status));
    return FetchedPage{std::move(body),
                       QString::fromStdString(charsetOfContentType(contentType.toStdString())), finalUrl};
}

} // namespace brenvik::ui
