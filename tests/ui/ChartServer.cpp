// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartServer.h"

#include "ChartPages.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <algorithm>

namespace brenvik::test {

namespace {

struct ChartGame {
    const char* name;
    const char* path;
    const char* lotId;
    const char* r;
};
constexpr ChartGame kGames[] = {
    {"sd", "/zst/sd/", "210053", "0.13125970074906945"},
    {"p3", "/zst/p3", "110033", "0.7355243056081235"},
};

QString key(const QString& game, int year) {
    return game + QLatin1Char(' ') + QString::number(year);
}

// The year a chart request asks for, 0 when the query is not exactly the game's.
int yearOf(const ChartGame& game, const QUrlQuery& query) {
    const auto items = query.queryItems(QUrl::FullyDecoded);
    if (items.size() != 5 || query.queryItemValue("lotId") != QLatin1String(game.lotId) ||
        query.queryItemValue("chartType") != QLatin1String("zhx") ||
        query.queryItemValue("spanType") != QLatin1String("3") ||
        query.queryItemValue("r") != QLatin1String(game.r))
        return 0;
    const QString span = query.queryItemValue("span");
    const QStringList ends = span.split(QLatin1Char('_'));
    if (ends.size() != 2 || ends[0].size() != 7 || !ends[0].endsWith(QLatin1String("001")) ||
        ends[1] != ends[0].left(4) + QLatin1String("365"))
        return 0;
    return ends[0].left(4).toInt();
}

constexpr auto kFc3dFeed = "/cwl_admin/front/cwlkj/search/kjxx/findDrawNotice";
constexpr auto kPl3Feed = "/gateway/lottery/getHistoryPageListV1.qry";
const QByteArray kCookie = "acw_tc=4f0b7c";

QByteArray header(const QHttpServerRequest& request, const QByteArray& name) {
    for (const auto& [key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

QString digitsText(const std::optional<std::array<int, 3>>& digits, QChar separator) {
    if (!digits)
        return {};
    return QStringList{QString::number((*digits)[0]), QString::number((*digits)[1]),
                       QString::number((*digits)[2])}
        .join(separator);
}

// A draw notice of the welfare lottery as its feed lists it: the draw in "red", and many fields
// besides (its prize grades among them), which make a page of 5,000 notices a few megabytes.
QJsonObject welfareItem(std::int32_t issue, const QString& digits) {
    const QString code = QString::number(issue);
    const QString link = QStringLiteral("/c/%1/%2.shtml").arg(code.left(4), code);
    QJsonArray grades;
    for (const auto& [type, money] : {std::pair{1, "1040"}, std::pair{2, "346"}, std::pair{3, "173"}})
        grades.append(
            QJsonObject{{"type", type}, {"typenum", QString::number(issue % 9973)}, {"typemoney", money}});
    return QJsonObject{{"name", "3D"},
                       {"code", code},
                       {"detailsLink", link},
                       {"videoLink", link},
                       {"date", QStringLiteral("%1-01-01(一)").arg(code.left(4))},
                       {"week", QStringLiteral("一")},
                       {"red", digits},
                       {"blue", ""},
                       {"blue2", ""},
                       {"sales", QString::number(50000000 + issue % 1000)},
                       {"poolmoney", ""},
                       {"content", ""},
                       {"addmoney", ""},
                       {"addmoney2", ""},
                       {"msg", ""},
                       {"z2add", ""},
                       {"m2add", ""},
                       {"prizegrades", grades}};
}

// A draw of the sports lottery's query: the issue with a two-digit year, the draw in
// "lotteryDrawResult".
QJsonObject sportsItem(std::int32_t issue, const QString& digits) {
    QJsonArray levels;
    for (const auto& [level, money] :
         {std::pair{"直选", "1,040"}, std::pair{"组选3", "346"}, std::pair{"组选6", "173"}})
        levels.append(QJsonObject{{"prizeLevel", QString::fromUtf8(level)},
                                  {"stakeAmount", money},
                                  {"stakeCount", QString::number(issue % 7919)}});
    return QJsonObject{{"lotteryDrawNum", QString::number(issue).mid(2)},
                       {"lotteryDrawResult", digits},
                       {"lotteryDrawTime", QStringLiteral("%1-01-01").arg(issue / 1000)},
                       {"lotteryGameName", QStringLiteral("排列3")},
                       {"lotteryGameNum", "35"},
                       {"lotteryUnsort", digits},
                       {"prizeLevelList", levels},
                       {"totalSaleAmount", QString::number(30000000 + issue % 1000)}};
}

} // namespace

ChartServer::ChartServer() {
    m_port = listen(QHostAddress::LocalHost, 0);
}

QString ChartServer::host() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void ChartServer::setFeed(Game game, std::vector<DrawLine> draws, FeedTraps traps) {
    m_feeds[game] = Feed{std::move(draws), traps, false};
}

void ChartServer::setPage(const QString& game, int year, const QByteArray& body,
                          const QByteArray& contentType) {
    m_pages[key(game, year)] = {body, contentType};
}

void ChartServer::setCharts(Game game, const std::vector<DrawLine>& draws) {
    std::map<int, std::vector<DrawLine>> years;
    for (const DrawLine& d : draws)
        years[d.issue / 1000].push_back(d);
    for (const auto& [year, drawn] : years) {
        ChartPageOptions o;
        o.layout = static_cast<ChartLayout>(year % 3);
        const int next = drawn.back().issue % 1000 + 1;
        // Every other year the pending row carries the trial number drawn before the draw.
        o.notDrawnYet = year % 2 ? std::vector{next, next + 1} : std::vector{next};
        setPage(game == Game::Pl3 ? "p3" : "sd", year, QByteArray::fromStdString(chartPage(year, drawn, o)),
                "text/html; charset=utf-8");
    }
}

void ChartServer::send(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                       const QByteArray& headerName, const QByteArray& headerValue, const QByteArray& body) {
    auto responder = makeResponder(request, socket);
    // The client closes the connection once it has read the answer; closing it from here could
    // beat the answer to the client, which then sends the request again.
    responder.write(body, {{headerName, headerValue}, {"Connection", "close"}},
                    static_cast<QHttpServerResponder::StatusCode>(status));
}

bool ChartServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    // Every answer closes its connection, so a connection carries one request. Qt HttpServer 6.4
    // may hand the last request of a connection over a second time when the socket signals
    // without new data; on a connection that has had its request that is such a repeat.
    if (socket->property("chartServerAsked").toBool())
        return true;
    socket->setProperty("chartServerAsked", true);
    const QUrl url = request.url();
    if (url.path() == QLatin1String("/")) {
        requests << QStringLiteral("home");
        auto responder = makeResponder(request, socket);
        responder.write("<html><head><title>中国福利彩票</title></head></html>",
                        {{"Content-Type", "text/html; charset=utf-8"},
                         {"Set-Cookie", kCookie + "; Path=/; HttpOnly"},
                         {"Connection", "close"}},
                        QHttpServerResponder::StatusCode::Ok);
        return true;
    }
    if (url.path() == QLatin1String(kFc3dFeed) || url.path() == QLatin1String(kPl3Feed)) {
        serveFeed(request, url.path() == QLatin1String(kPl3Feed) ? Game::Pl3 : Game::Fc3d, socket);
        return true;
    }
    if (url.path() == QLatin1String("/loop")) {
        const int hop = QUrlQuery(url).queryItemValue("hop").toInt();
        deepestRedirect = std::max(deepestRedirect, hop);
        send(request, socket, 302, "Location", "/loop?hop=" + QByteArray::number(hop + 1), {});
        return true;
    }
    if (url.path() == QLatin1String("/hop")) {
        const QUrlQuery q(url);
        const int left = q.queryItemValue("left").toInt();
        const QString game = q.queryItemValue("game");
        const int year = q.queryItemValue("year").toInt();
        if (left > 0)
            send(request, socket, 302, "Location",
                 "/hop?game=" + game.toLatin1() + "&year=" + QByteArray::number(year) +
                     "&left=" + QByteArray::number(left - 1),
                 {});
        else {
            servedAfterRedirects = true;
            serve(request, game, year, socket);
        }
        return true;
    }
    for (const ChartGame& game : kGames) {
        if (url.path() != QLatin1String(game.path))
            continue;
        const int year = yearOf(game, QUrlQuery(url));
        if (year == 0)
            break;
        const QString name = QLatin1String(game.name);
        requests << key(name, year);
        if (onRequest)
            onRequest(name, year);
        switch (m_behaviour.value(year, Behaviour::Serve)) {
        case Behaviour::Serve:
            serve(request, name, year, socket);
            break;
        case Behaviour::NeverAnswer:
            break;
        case Behaviour::NotFound:
            send(request, socket, 404, "Content-Type", "text/html", "<html><body>not found</body></html>");
            break;
        case Behaviour::RedirectLoop:
            send(request, socket, 302, "Location", "/loop?hop=1", {});
            break;
        case Behaviour::FiveRedirects:
            send(request, socket, 302, "Location",
                 "/hop?game=" + name.toLatin1() + "&year=" + QByteArray::number(year) + "&left=4", {});
            break;
        case Behaviour::HugeDeclared:
            // Only a little of it follows: the declared length alone must make the client stop.
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                QByteArray::number(kHugeSize) + "\r\n\r\n");
            stream(socket, 1024 * 1024);
            break;
        case Behaviour::GzipBomb: {
            // qCompress writes a zlib stream after a four-byte length. The connection stays
            // open, so only counting what inflates can end the wait early.
            const QByteArray body = qCompress(QByteArray(kHugeSize, ' '), 9).mid(4);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: deflate\r\n"
                          "Content-Length: " +
                          QByteArray::number(body.size() + 1) + "\r\n\r\n" + body);
            break;
        }
        case Behaviour::HugeUndeclared:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n");
            stream(socket, kHugeSize);
            break;
        }
        return true;
    }
    requests << QStringLiteral("bad ") +
                    QString::fromLatin1(url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    send(request, socket, 404, "Content-Type", "text/html", "<html><body>no such chart</body></html>");
    return true;
}

void ChartServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    send(request, socket, 404, "Content-Type", "text/html", {});
}

void ChartServer::serveFeed(const QHttpServerRequest& request, Game game, QTcpSocket* socket) {
    const QUrlQuery query(request.url());
    const bool pl3 = game == Game::Pl3;
    const int asked = query.queryItemValue("pageSize").toInt();
    const bool keys = pl3 ? query.queryItemValue("gameNo") == QLatin1String("35")
                          : query.queryItemValue("name") == QLatin1String("3d") &&
                                query.queryItemValue("systemType") == QLatin1String("PC");
    Feed& feed = m_feeds[game];
    const FeedTraps& t = feed.traps;
    const int pageNo = t.repeatFirstPage ? 1 : query.queryItemValue("pageNo").toInt();
    requests << QStringLiteral("%1 %2")
                    .arg(pl3 ? QLatin1String("pl3") : QLatin1String("3d"))
                    .arg(query.queryItemValue("pageNo").toInt());
    pageSizes << asked;
    const QByteArray json = "application/json;charset=UTF-8";
    const QByteArray referer =
        pl3 ? "https://static.sporttery.cn/" : "https://www.cwl.gov.cn/ygkj/wqkjgg/fc3d/";
    const bool browser = header(request, "User-Agent").startsWith("Mozilla/5.0");
    if (t.blockPage || !browser || header(request, "Referer") != referer) {
        if (!t.blockPage)
            ++turnedAway;
        send(request, socket, 200, "Content-Type", "text/html",
             "<html><head><title>405 禁止访问</title></head><body>您的访问被拒绝</body></html>");
        return;
    }
    if (!pl3 && !header(request, "Cookie").contains(kCookie)) {
        ++turnedAway;
        send(request, socket, 200, "Content-Type", json, R"({"state":1,"message":"请刷新页面后重试"})");
        return;
    }
    if (t.refuse) {
        send(request, socket, 200, "Content-Type", json,
             pl3 ? R"({"success":false,"errorCode":"1001","errorMessage":"系统繁忙","value":null})"
                 : R"({"state":1,"message":"系统繁忙"})");
        return;
    }
    if (!keys || pageNo < 1 || asked < 1 || pageNo == t.failingPage) {
        send(request, socket, 500, "Content-Type", "text/plain", "internal error");
        return;
    }

    // Newest first, as the operators list them; the digits as their text.
    const QChar separator = pl3 ? u' ' : u',';
    std::vector<std::pair<std::int32_t, QString>> listed;
    for (auto it = feed.draws.rbegin(); it != feed.draws.rend(); ++it) {
        if (std::ranges::find(t.holes, it->issue) != t.holes.end())
            continue;
        const auto digits = t.conflict && t.conflict->issue == it->issue ? t.conflict->digits : it->digits;
        QString text = digitsText(digits, separator);
        if (t.rawDigits && t.rawDigits->first == it->issue)
            text = t.rawDigits->second;
        listed.push_back({it->issue, text});
        if (t.contradiction && t.contradiction->issue == it->issue)
            listed.push_back({it->issue, digitsText(t.contradiction->digits, separator)});
    }
    if (feed.shifted && t.published)
        listed.insert(listed.begin(), {t.published->issue, digitsText(t.published->digits, separator)});
    if (t.pending && !(feed.shifted && t.published && t.published->issue == *t.pending))
        listed.insert(listed.begin(), {*t.pending, QString()});
    for (const DrawLine& d : t.future)
        listed.insert(listed.begin(), {d.issue, digitsText(d.digits, separator)});
    const int size = t.cap > 0 ? std::min(asked, t.cap) : asked;
    const qsizetype total = static_cast<qsizetype>(listed.size());
    QJsonArray items;
    for (qsizetype i = qsizetype(pageNo - 1) * size; i < std::min(total, qsizetype(pageNo) * size); ++i) {
        const auto& [issue, digits] = listed[static_cast<std::size_t>(i)];
        items.append(pl3 ? sportsItem(issue, digits) : welfareItem(issue, digits));
    }
    const int pages = static_cast<int>((total + size - 1) / size);
    // The shapes of the operators' replies, with the fields a reader passes over.
    const QJsonObject reply =
        pl3 ? QJsonObject{{"dataFrom", ""},
                          {"emptyFlag", items.isEmpty()},
                          {"errorCode", "0"},
                          {"errorMessage", QStringLiteral("处理成功")},
                          {"success", true},
                          {"value",
                           QJsonObject{{"lastPoolDraw", listed.empty()
                                                            ? QJsonValue()
                                                            : sportsItem(listed[0].first, listed[0].second)},
                                       {"list", items},
                                       {"pageNo", pageNo},
                                       {"pageSize", size},
                                       {"pages", pages},
                                       {"total", total}}}}
            : QJsonObject{{"state", 0},       {"message", QStringLiteral("查询成功")},
                          {"total", total},   {"pageNum", pages},
                          {"pageNo", pageNo}, {"pageSize", size},
                          {"Tflag", 0},       {"result", items}};
    send(request, socket, 200, "Content-Type", json, QJsonDocument(reply).toJson(QJsonDocument::Compact));
    if (pageNo == 1)
        feed.shifted = true;
}

void ChartServer::serve(const QHttpServerRequest& request, const QString& game, int year,
                        QTcpSocket* socket) {
    const auto it = m_pages.constFind(key(game, year));
    if (it == m_pages.constEnd()) {
        send(request, socket, 200, "Content-Type", "text/html; charset=utf-8",
             "<html><body><table><tr><th>期号</th><th>开奖号码</th></tr></table></body></html>");
        return;
    }
    send(request, socket, 200, "Content-Type", it->second, it->first);
}

// Sends `size` bytes of body a megabyte at a time as the client takes them, until they are all
// out or the client hangs up.
void ChartServer::stream(QTcpSocket* socket, qint64 size) {
    auto sent = std::make_shared<qint64>(0);
    auto more = [this, socket, sent, size] {
        const QByteArray chunk(1024 * 1024, 'x');
        while (*sent < size && socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < 2 * chunk.size()) {
            socket->write(chunk);
            *sent += chunk.size();
            hugeBytesSent += chunk.size();
        }
        if (*sent >= kHugeSize)
            socket->disconnectFromHost();
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
    more();
}

QString refusingHost() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

} // namespace brenvik::test
