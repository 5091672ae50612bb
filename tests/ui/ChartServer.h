// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "Game.h"
#include "HistoryText.h"

#include <functional>
#include <map>
#include <optional>
#include <vector>

class QTcpSocket;

namespace brenvik::test {

// What a feed does besides answering its draws newest first, page by page.
struct FeedTraps {
    int cap = 0;                           // items per page at most, whatever was asked (0: none)
    std::optional<std::int32_t> pending;   // listed on top, not drawn yet
    std::optional<DrawLine> published;     // drawn once page 1 was served: the pages shift by one
    std::optional<DrawLine> conflict;      // other digits for a drawn issue
    std::vector<std::int32_t> holes;       // issues left out
    std::vector<DrawLine> future;          // listed on top: issues of a year not begun
    std::optional<DrawLine> contradiction; // listed a second time on its page, with these digits
    // The digits of an issue as this text ("-1,2,3"), in the feed's own separator.
    std::optional<std::pair<std::int32_t, QString>> rawDigits;
    bool repeatFirstPage = false; // every page number is answered with page 1
    int failingPage = 0;          // this page is answered with status 500
    bool blockPage = false;       // every page is answered with the firewall's HTML page
    bool refuse = false;          // every page says no (state 1, success false)
};

// A chart site on 127.0.0.1 for the online update. It answers the two games' chart addresses
// with exactly their paths and query keys, year by year, with the pages it was given (a year
// without a page gets a chart page with no draws), and can misbehave for a year as a real
// server might.
//
// It also stands in for both operators' feeds, under their paths and query keys, with what their
// firewalls ask of a caller: the welfare lottery answers draws only with the cookie its home page
// sets and the Referer of its own page, the sports lottery only to a browser's User-Agent with
// its Referer; anyone else gets a block page. Each feed can lay the traps real feeds lay.
class ChartServer : public QAbstractHttpServer {
public:
    enum class Behaviour {
        Serve,          // the page of the year
        NeverAnswer,    // keeps the connection open and sends nothing
        NotFound,       // 404
        RedirectLoop,   // redirects for ever (/loop?hop=1, hop=2 ...)
        FiveRedirects,  // five redirects, then the page
        HugeDeclared,   // declares a 50 MB body, sends 1 MB of it and waits
        HugeUndeclared, // sends 50 MB without declaring a length
        GzipBomb,       // a small deflate body that inflates to 50 MB, then keeps the connection open
    };

    ChartServer();

    // The draws (oldest first) a game's feed lists.
    void setFeed(Game game, std::vector<DrawLine> draws, FeedTraps traps = {});

    QString host() const; // "http://127.0.0.1:<port>"

    // `game` is "sd" (福彩3D) or "p3" (体彩排列3).
    void setPage(const QString& game, int year, const QByteArray& body, const QByteArray& contentType);
    // A page for every year of `draws` (oldest first) as chart sites show them: after the year's
    // last draw a row of the next issue without a draw (empty cells, 待开奖, a trial number
    // only), the three layouts of ChartPages in turn.
    void setCharts(Game game, const std::vector<DrawLine>& draws);
    void setBehaviour(int year, Behaviour behaviour) { m_behaviour[year] = behaviour; }

    // "sd 2013" for every chart request, "home", "3d 2" or "pl3 2" (a feed's page 2), in order;
    // anything else as "bad <path and query>".
    QStringList requests;
    // The page size each feed request asked for, in order.
    QList<int> pageSizes;
    // Feed pages answered with the firewall's page or a refusal for want of a cookie, Referer or
    // User-Agent.
    int turnedAway = 0;
    int deepestRedirect = 0;           // the highest hop of the endless redirects asked for
    bool servedAfterRedirects = false; // the page was reached at the end of five redirects
    qint64 hugeBytesSent = 0;
    static constexpr qint64 kHugeSize = 50ll * 1024 * 1024;
    // Called when a chart request arrives, before it is answered.
    std::function<void(const QString& game, int year)> onRequest;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Feed {
        std::vector<DrawLine> draws;
        FeedTraps traps;
        bool shifted = false;
    };
    void serveFeed(const QHttpServerRequest& request, Game game, QTcpSocket* socket);
    void serve(const QHttpServerRequest& request, const QString& game, int year, QTcpSocket* socket);
    static void send(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                     const QByteArray& headerName, const QByteArray& headerValue, const QByteArray& body);
    void stream(QTcpSocket* socket, qint64 size);

    quint16 m_port = 0;
    QMap<QString, QPair<QByteArray, QByteArray>> m_pages;
    QMap<int, Behaviour> m_behaviour;
    std::map<Game, Feed> m_feeds;
};

// A local address where nothing listens, so connecting is refused.
QString refusingHost();

} // namespace brenvik::test
