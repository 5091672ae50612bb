// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's online update, run as a script runs it, against a chart site on the loopback
// interface, with the settings the window stored.
#include "ChartPages.h"
#include "ChartServer.h"
#include "HistoryStore.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QDate>
#include <QDir>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using Behaviour = ChartServer::Behaviour;

namespace {

std::vector<DrawLine> yearDraws(int year, int from, int to) {
    std::vector<DrawLine> d;
    for (int k = from; k <= to; ++k)
        d.push_back({year * 1000 + k, {(k * 3 + year) % 10, (k / 7) % 10, (k * k + 1) % 10}});
    return d;
}

std::vector<DrawLine> concat(std::initializer_list<std::vector<DrawLine>> parts) {
    std::vector<DrawLine> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

class CompanionUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void updateAsTheWindowDoes();
};

void CompanionUpdateTest::updateAsTheWindowDoes() {
    const int c = QDate::currentDate().year();
    const auto y = [c](int back) { return QString::number(c - back); };
    const auto full = [&](int back) { return yearDraws(c - back, 1, 358); };
    const auto thisYear = yearDraws(c, 1, 20);
    const auto old = concat({yearDraws(c - 5, 1, 10), full(1)});
    const auto sdDraws = [c](int back) { return yearDraws(c - back, 1, 9); };
    struct Case {
        const char* what;
        Game game; // given with --game, except 福彩3D: the default whatever the window chose
        QStringList args;
        bool siteStored;
        std::vector<DrawLine> stored;
        QMap<int, Behaviour> behaviour; // by years back
        int exit;
        QStringList out;
        QString err;
        std::vector<DrawLine> after;
    };
    const QStringList years = {y(0) + "年 20 期", y(1) + "年 358 期", y(2) + "年 358 期"};
    // clang-format off
    const Case cases[] = {
        {"the stored years, segment and site", Game::Pl3, {"update"}, true, {}, {}, 0,
         {y(0) + "年 20 期", y(1) + "年 358 期", y(2) + "年 358 期", y(3) + "年 358 期",
          "新增 1094 期，最新一期 " + y(0) + "020"}, {}, concat({full(3), full(2), full(1), thisYear})},
        {"--site and --years given; a stored history goes on from its last draw", Game::Pl3,
         {"update", "--site", "SITE", "--years", "16"}, false, yearDraws(c - 1, 1, 300), {}, 0,
         {y(0) + "年 20 期", y(1) + "年 58 期", "新增 78 期，最新一期 " + y(0) + "020"}, {},
         concat({full(1), thisYear})},
        {"the chart source without a site", Game::Pl3, {"update", "--source", "chart"}, false, {}, {}, 2, {},
         "update needs --site URL", {}},
        {"without --yes the new draws come and the old years stay", Game::Pl3, {"update"}, true, old, {}, 0,
         {y(0) + "年 20 期", y(1) + "年 0 期",
          "加 --yes 才会删除早年的历史号码：将删除 " + y(5) + " 年的 10 期历史号码，仅保留最近 3 年。这次未删除。",
          "新增 20 期，最新一期 " + y(0) + "020"}, {}, concat({old, thisYear})},
        {"--yes removes the old years once the new draws are in", Game::Pl3, {"update", "--yes"}, true, old, {},
         0, {y(0) + "年 20 期", y(1) + "年 0 期", "已删除 " + y(5) + " 年的 10 期历史号码。",
          "新增 20 期，最新一期 " + y(0) + "020"}, {}, concat({full(1), thisYear})},
        {"--quiet: the result line alone", Game::Pl3, {"update", "--quiet"}, true, old, {}, 0,
         {"新增 20 期，最新一期 " + y(0) + "020"}, {}, concat({old, thisYear})},
        {"--quiet, before the command: the error alone", Game::Pl3, {"--quiet", "update", "--yes"}, true, old,
         {{1, Behaviour::NotFound}}, 1, {}, "读取 " + y(1) + " 年的走势图失败（服务器返回错误 404），历史号码未改动。",
         old},
        {"a failure stores nothing of the years read before it", Game::Pl3, {"update", "--yes"}, true, old,
         {{1, Behaviour::NotFound}}, 1, {y(0) + "年 20 期"},
         "读取 " + y(1) + " 年的走势图失败（服务器返回错误 404），历史号码未改动。", old},
        {"five redirects at most", Game::Pl3, {"update"}, true, {}, {{3, Behaviour::RedirectLoop}}, 1, years,
         "重定向次数过多", {}},
        {"a declared length over 16 MB", Game::Pl3, {"update"}, true, {}, {{3, Behaviour::HugeDeclared}}, 1, years,
         "网页超过 16 MB", {}},
        {"a body that inflates past 16 MB, on a connection left open", Game::Pl3, {"update"}, true, {},
         {{3, Behaviour::GzipBomb}}, 1, years, "网页超过 16 MB", {}},
        {"福彩3D's charts", Game::Fc3d, {"update"}, true, yearDraws(c - 3, 1, 5), {}, 0,
         {y(0) + "年 9 期", y(1) + "年 9 期", y(2) + "年 9 期", y(3) + "年 4 期",
          "新增 31 期，最新一期 " + y(0) + "009"}, {}, concat({sdDraws(3), sdDraws(2), sdDraws(1), sdDraws(0)})},
    };
    // clang-format on
    for (const Case& k : cases) {
        WindowFixture f;
        ChartServer server;
        for (int back = 0; back <= 3; ++back) {
            // Only the Pick-3 pages hold these draws; the 3D pages hold other digits.
            ChartPageOptions o;
            if (back == 0)
                o.notDrawnYet = {21, 22};
            const auto draws = back == 0 ? thisYear : full(back);
            server.setPage("p3", c - back, QByteArray::fromStdString(chartPage(c - back, draws, o)),
                           "text/html");
            server.setPage("sd", c - back,
                           QByteArray::fromStdString(chartPage(c - back, yearDraws(c - back, 1, 9))),
                           "text/html");
        }
        for (auto [back, behaviour] : k.behaviour.asKeyValueRange())
            server.setBehaviour(c - back, behaviour);
        // Each game's update leaves the other game's history as it was.
        const Game other = k.game == Game::Pl3 ? Game::Fc3d : Game::Pl3;
        const auto otherDraws = yearDraws(c - 1, 100, 102);
        f.storeDraws(otherDraws, 0, other);
        if (!k.stored.empty())
            f.storeDraws(k.stored, 0, k.game);
        f.setSetting(keys::GsZl, QStringLiteral("3"));
        f.setSetting(keys::IniSerchDay, QStringLiteral("3"));
        f.setSetting(keys::DsIni, QStringLiteral("0"));
        // Blanks at its ends make QSettings write the value quoted.
        if (k.siteStored)
            f.setSetting(keys::strZstHost, QStringLiteral(" %1 ").arg(server.host()));
        QStringList args = k.args;
        if (k.game == Game::Pl3)
            args = QStringList{QStringLiteral("--game"), QStringLiteral("pl3")} + args;
        args.replaceInStrings(QStringLiteral("SITE"), server.host());
        args << QStringLiteral("--pause") << QStringLiteral("0");

        const CompanionRun r = runCompanion(QStringLiteral(BRENVIK_CLI), f, args);

        QVERIFY2(r.exit == k.exit,
                 qPrintable(QStringLiteral("%1: exit %2, %3").arg(k.what).arg(r.exit).arg(r.err)));
        QCOMPARE(r.out, k.out);
        if (k.err.isEmpty())
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        else
            QVERIFY2(r.err.contains(k.err) && r.err.count('\n') == 1, qPrintable(r.err));
        for (const QString& request : server.requests)
            QVERIFY2(request.startsWith(k.game == Game::Pl3 ? QStringLiteral("p3 ") : QStringLiteral("sd ")),
                     qPrintable(request));
        const std::filesystem::path home = f.home().toStdString();
        for (const auto& [game, draws] : {std::pair{k.game, k.after}, std::pair{other, otherDraws}}) {
            auto store = HistoryStore::open(home / databaseFileName(game), game);
            QVERIFY2(store && holdsExactly(*(*store)->loadSnapshot().value(), draws, 0), k.what);
        }
    }
}

QTEST_MAIN(CompanionUpdateTest)
#include "CompanionUpdateTest.moc"
