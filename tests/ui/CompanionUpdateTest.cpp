// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's online update, run as a script runs it, against a chart site on the loopback
// interface that shows the real draws, with the settings the window stored.
#include "ChartServer.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "SampleHistory.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QDate>
#include <QDir>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using Behaviour = ChartServer::Behaviour;

namespace {

std::vector<DrawLine> between(const std::vector<DrawLine>& draws, std::int32_t from, std::int32_t to) {
    std::vector<DrawLine> out;
    std::copy_if(draws.begin(), draws.end(), std::back_inserter(out),
                 [&](const DrawLine& d) { return d.issue >= from && d.issue <= to; });
    return out;
}

std::vector<DrawLine> concat(std::initializer_list<std::vector<DrawLine>> parts) {
    std::vector<DrawLine> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<DrawLine> real(Game game) {
    return concat(
        {sampleDraws(game == Game::Pl3 ? "pl3-history.txt" : "fc3d-history.txt"), drawsAfterSample(game)});
}

// The lines of the chart pages read, newest year first, down to the year of `after`: the draws
// each brought after it.
QStringList yearLines(const std::vector<DrawLine>& draws, int newest, std::int32_t after) {
    QStringList lines;
    for (int year = newest; year >= after / 1000; --year)
        lines << QStringLiteral("%1年 %2 期")
                     .arg(year)
                     .arg(std::ranges::count_if(draws, [&](const DrawLine& d) {
                         return d.issue / 1000 == year && d.issue > after;
                     }));
    return lines;
}

} // namespace

class CompanionUpdateTest : public QObject {
    Q_OBJECT
private slots:
    void updateAsTheWindowDoes();
};

void CompanionUpdateTest::updateAsTheWindowDoes() {
    const int c = QDate::currentDate().year();
    const auto pl = real(Game::Pl3);
    const auto fc = real(Game::Fc3d);
    const std::int32_t newest = pl.back().issue;
    const QString summary = QStringLiteral("最新一期 %1").arg(newest);
    // A history of the first ten draws of five years ago, and of last year.
    const auto old =
        concat({between(pl, (c - 5) * 1000, (c - 5) * 1000 + 10), between(pl, (c - 1) * 1000, c * 1000)});
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
    const std::vector<DrawLine> kept = between(pl, (c - 3) * 1000, newest);
    const QString cut = QStringLiteral("将删除 %1 年的 10 期历史号码，仅保留最近 3 年。").arg(c - 5);
    // clang-format off
    const Case cases[] = {
        {"the stored years, segment and site: an empty history starts from the shipped one", Game::Pl3, {"update"},
         true, {}, {}, 0,
         yearLines(pl, c, 2026224) + QStringList{QStringLiteral("其中 %1 期取自附带的样本。").arg(QString::fromStdString(
             groupedCount(static_cast<long long>(between(kept, 0, 2026224).size())))),
         QStringLiteral("新增 %1 期，").arg(kept.size()) + summary}, {}, kept},
        {"--site and --years given; a stored history goes on from its last draw", Game::Pl3,
         {"update", "--site", "SITE", "--years", "16"}, false, between(pl, 2025001, 2025300), {}, 0,
         yearLines(pl, c, 2025300) + QStringList{QStringLiteral("新增 %1 期，").arg(between(pl, 2025301, newest).size()) + summary},
         {}, between(pl, 2025001, newest)},
        {"the chart source without a site", Game::Pl3, {"update", "--source", "chart"}, false, {}, {}, 2, {},
         "update needs --site URL", {}},
        {"without --yes the new draws come and the old years stay", Game::Pl3, {"update"}, true, old, {}, 0,
         yearLines(pl, c, old.back().issue) + QStringList{"加 --yes 才会删除早年的历史号码：" + cut + "这次未删除。",
          QStringLiteral("新增 %1 期，").arg(between(pl, old.back().issue + 1, newest).size()) + summary},
         {}, concat({old, between(pl, old.back().issue + 1, newest)})},
        {"--yes removes the old years once the new draws are in", Game::Pl3, {"update", "--yes"}, true, old, {}, 0,
         yearLines(pl, c, old.back().issue) + QStringList{QStringLiteral("已删除 %1 年的 10 期历史号码。").arg(c - 5),
          QStringLiteral("新增 %1 期，").arg(between(pl, old.back().issue + 1, newest).size()) + summary},
         {}, between(pl, (c - 1) * 1000, newest)},
        {"--quiet: the result line alone", Game::Pl3, {"update", "--quiet"}, true, old, {}, 0,
         {QStringLiteral("新增 %1 期，").arg(between(pl, old.back().issue + 1, newest).size()) + summary}, {},
         concat({old, between(pl, old.back().issue + 1, newest)})},
        {"--quiet, before the command: the error alone", Game::Pl3, {"--quiet", "update", "--yes"}, true,
         between(pl, 2004001, (c - 2) * 1000 + 100), {{1, Behaviour::NotFound}}, 1, {},
         QStringLiteral("读取 %1 年的走势图失败（服务器返回错误 404），历史号码未改动。").arg(c - 1),
         between(pl, 2004001, (c - 2) * 1000 + 100)},
        {"a failure stores nothing of the years read before it", Game::Pl3, {"update", "--yes"}, true,
         between(pl, 2004001, (c - 2) * 1000 + 100), {{1, Behaviour::NotFound}}, 1, yearLines(pl, c, c * 1000),
         QStringLiteral("读取 %1 年的走势图失败（服务器返回错误 404），历史号码未改动。").arg(c - 1),
         between(pl, 2004001, (c - 2) * 1000 + 100)},
        {"five redirects at most", Game::Pl3, {"update"}, true, {}, {{0, Behaviour::RedirectLoop}}, 1, {},
         "重定向次数过多", {}},
        {"a declared length over 16 MB", Game::Pl3, {"update"}, true, {}, {{0, Behaviour::HugeDeclared}}, 1, {},
         "网页超过 16 MB", {}},
        {"a body that inflates past 16 MB, on a connection left open", Game::Pl3, {"update"}, true, {},
         {{0, Behaviour::GzipBomb}}, 1, {}, "网页超过 16 MB", {}},
        {"福彩3D's charts", Game::Fc3d, {"update"}, true, between(fc, (c - 3) * 1000, (c - 3) * 1000 + 5), {}, 0,
         yearLines(fc, c, (c - 3) * 1000 + 5) + QStringList{QStringLiteral("新增 %1 期，").arg(
             between(fc, (c - 3) * 1000 + 6, newest).size()) + summary}, {}, between(fc, (c - 3) * 1000, newest)},
    };
    // clang-format on
    for (const Case& k : cases) {
        WindowFixture f;
        ChartServer server;
        server.setCharts(Game::Pl3, pl);
        server.setCharts(Game::Fc3d, fc);
        for (auto [back, behaviour] : k.behaviour.asKeyValueRange())
            server.setBehaviour(c - back, behaviour);
        // Each game's update leaves the other game's history as it was.
        const Game other = k.game == Game::Pl3 ? Game::Fc3d : Game::Pl3;
        const auto otherDraws = between(real(other), (c - 1) * 1000 + 100, (c - 1) * 1000 + 102);
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
