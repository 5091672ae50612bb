// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowFixture.h"

#include "AppPaths.h"
#include "Clock.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "SampleHistory.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>

namespace brenvik::test {

namespace {

std::unique_ptr<QSettings> section(const QString& home) {
    Q_UNUSED(home);
    auto s = std::make_unique<QSettings>(ui::settingsFile(), QSettings::IniFormat);
    s->beginGroup(QStringLiteral("IniSetting"));
    return s;
}

QString keyOf(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

} // namespace

WindowFixture::WindowFixture() : m_folder(std::make_unique<TestFolder>()) {
    const QString root = QString::fromStdString(m_folder->path().string());
    qputenv("BRENVIK3D_HOME", (root + QStringLiteral("/data")).toUtf8());
    // The settings file of both programs lies under it.
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    std::filesystem::create_directories(m_folder->path() / "data");
    // A fixed day of the year the sample histories end in; storeDraws moves it to the year of
    // the draws stored.
    setYear(2026);
}

void WindowFixture::setYear(int year) {
    ui::setClock([year] { return std::chrono::sys_days{std::chrono::year{year} / 1 / 2}; });
}

WindowFixture::~WindowFixture() {
    close();
    ui::setClock({});
}

QString WindowFixture::home() const {
    return QString::fromStdString((m_folder->path() / "data").string());
}

void WindowFixture::storeDraws(const std::vector<DrawLine>& draws, int segmentParam, Game game) {
    writeDatabase(m_folder->path() / "data", draws, segmentParam, game);
    // The test histories lie in the past; a clock in the year of their newest draw keeps the
    // proposal counting on within that year, as it did when those draws were new, and takes
    // the draws of that year and the next as possible ones.
    if (!draws.empty())
        setYear(draws.back().issue / 1000);
}

void WindowFixture::setSetting(std::string_view key, const QString& value) {
    auto s = section(home());
    s->setValue(keyOf(key), value);
    s->sync();
}

QString WindowFixture::setting(std::string_view key) const {
    return section(home())->value(keyOf(key)).toString();
}

bool WindowFixture::hasSetting(std::string_view key) const {
    return section(home())->contains(keyOf(key));
}

ui::frmMain& WindowFixture::open() {
    m_window = ui::frmMain::open();
    if (!m_window)
        qFatal("the window was refused its data folder");
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowExposed(m_window.get()) || !QTest::qWaitForWindowActive(m_window.get()) ||
        !QTest::qWaitFor([this] { return m_window->hasPainted(); }))
        qWarning("the window did not come up");
    return *m_window;
}

void WindowFixture::close() {
    m_window.reset();
}

std::vector<DrawLine> drawsFrom(std::int32_t firstIssue, const std::vector<std::array<int, 3>>& digits) {
    std::vector<DrawLine> draws;
    std::int32_t issue = firstIssue;
    for (const auto& d : digits) {
        draws.push_back({issue, d});
        issue = nextIssueProposal(issue);
    }
    return draws;
}

std::vector<DrawLine> smallHistory() {
    return drawsFrom(2013001, {{1, 2, 3},
                               {4, 5, 6},
                               {0, 0, 0},
                               {1, 2, 3},
                               {4, 7, 6},
                               {9, 9, 9},
                               {3, 2, 1},
                               {4, 5, 9},
                               {8, 8, 8},
                               {1, 2, 3}});
}

bool holdsExactly(const HistorySnapshot& h, const std::vector<DrawLine>& draws, int segmentParam) {
    const auto want = rowsFromDraws(draws, segmentParam);
    if (h.size() != want.size()) {
        qWarning("history holds %zu draws, expected %zu", h.size(), want.size());
        return false;
    }
    for (std::size_t i = 0; i < want.size(); ++i) {
        const DrawRow& a = h[i];
        const DrawRow& b = want[i];
        if (a.sqqh != b.sqqh || a.qqh != b.qqh || a.own != b.own || a.prev != b.prev || a.back != b.back ||
            a.last != b.last || a.pre != b.pre) {
            qWarning("row %zu (issue %d) differs", i, b.sqqh);
            return false;
        }
    }
    return true;
}

CompanionRun runCompanion(const QString& program, const WindowFixture& f, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"),
               QDir(f.home() + QStringLiteral("/../config")).absolutePath());
    p.setProcessEnvironment(env);
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(program, QStringList{QStringLiteral("--home"), f.home()} + args);
    if (!finished.wait(120000))
        qWarning("the companion did not finish");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError())};
}

QStringList sheetRows(const QString& path) {
    QProcess p;
    p.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, openpyxl\n"
                        "for row in openpyxl.load_workbook(open(sys.argv[1], 'rb'))['Sheet1'].values:\n"
                        "    print('\\t'.join('' if v is None else str(v) for v in row).rstrip('\\t'))\n"),
         path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace brenvik::test
