// SPDX-License-Identifier: GPL-3.0-or-later
// The window on damaged histories and odd data folders: the damage is found before the first
// change, said as the companion says it, and restored from a source the user picks; a pipe in a
// file's place never holds the window; the window opens the folder the companion opens, or none.
#include "AppPaths.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "PredictionLog.h"
#include "SampleHistory.h"
#include "UndoBackup.h"
#include "WindowFixture.h"

#include <SQLiteCpp/Database.h>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <sys/stat.h>

#include <functional>

using namespace brenvik;
using namespace brenvik::test;

namespace {

std::filesystem::path dataPath(const WindowFixture& f) {
    return ui::toPath(f.home());
}

// The real history as a user's folder holds it after an import: the undo backup of the 7,721
// draws before it, a backup file of the deletions, and one prediction in the logbook.
void writeUsersFolder(WindowFixture& f) {
    const auto draws = sampleDraws("fc3d-history.txt");
    f.storeDraws(std::vector<DrawLine>(draws.begin(), draws.end() - 10));
    auto store = HistoryStore::open(dataPath(f) / kDatabaseFile);
    QVERIFY(store);
    HistoryFile file;
    file.draws = draws;
    QVERIFY(changeWithUndo(**store, "读入", [&] { return importHistory(**store, file, 1); }));
    LogEntry entry;
    entry.issue = nextIssueProposal(draws.back().issue);
    entry.picks = {4};
    QVERIFY(PredictionLog::record(**store, entry));
    QVERIFY(writeHistoryFile(dataPath(f) / kBackupFile, syntheticDraws(100, 8)));
}

void flipIndexBit(const std::filesystem::path& file) {
    long long offset = 0;
    {
        SQLite::Database db("file:" + file.string() + "?immutable=1",
                            SQLite::OPEN_READONLY | SQLite::OPEN_URI);
        SQLite::Statement q(db, "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat"
                                " WHERE name = 'LishiDraws' AND pagetype = 'leaf' ORDER BY pageno");
        std::vector<std::pair<long long, long long>> pages;
        while (q.executeStep())
            pages.emplace_back(q.getColumn(0).getInt64(), q.getColumn(1).getInt64());
        const auto [page, size] = pages.at(pages.size() / 2);
        offset = (page - 1) * size + size - 200;
    }
    std::string bytes = readFile(file);
    bytes[static_cast<std::size_t>(offset)] =
        static_cast<char>(bytes[static_cast<std::size_t>(offset)] ^ 0x04);
    writeFile(file, bytes);
}

bool shownKind(const WindowFixture& f, const QString& kind, const QString& title) {
    for (const auto& s : f.dialogs.shown)
        if (s.kind == kind && s.title == title)
            return true;
    return false;
}

} // namespace

class DamagedHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void pathsAreThoseOfTheCompanionAndQt();
    void aDamagedHistoryIsSaidAsTheCompanionSaysItAndRestored();
    void aRestoreKeepsEveryReadableDraw();
    void changesWaitForTheWholeCheck();
    void oddFoldersNeverHoldTheWindow();
};

// The folder and the settings file both programs name with one function are those Qt's own
// search finds for the window's organisation and application.
void DamagedHistoryTest::pathsAreThoseOfTheCompanionAndQt() {
    QCoreApplication::setOrganizationName(QStringLiteral("Brenvik3D"));
    QCoreApplication::setApplicationName(QStringLiteral("Brenvik3D"));
    QTemporaryDir home;
    const QByteArray saved[] = {qgetenv("HOME"), qgetenv("BRENVIK3D_HOME"), qgetenv("XDG_DATA_HOME"),
                                qgetenv("XDG_CONFIG_HOME")};
    qunsetenv("BRENVIK3D_HOME");
    qputenv("HOME", home.path().toUtf8());
    const std::pair<QString, QString> xdg[] = {
        {QString(), QString()}, {home.filePath(QStringLiteral("d")), home.filePath(QStringLiteral("c"))}};
    for (const auto& [data, config] : xdg) {
        data.isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", data.toUtf8());
        config.isEmpty() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QCOMPARE(ui::dataFolder().value_or(QString()),
                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        QCOMPARE(ui::settingsFile(), QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                         QStringLiteral("/Brenvik3D/Brenvik3D.ini"));
    }
    qputenv("HOME", saved[0]);
    qputenv("BRENVIK3D_HOME", saved[1]);
    saved[2].isEmpty() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", saved[2]);
    saved[3].isEmpty() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved[3]);
}

// The damage is said as the companion says it, wholly in Chinese, the engine's own words under
// the box's details; the restore lists what the damaged file still holds beside the backups, and
// completes a backup with the damaged file's newer draws.
void DamagedHistoryTest::aDamagedHistoryIsSaidAsTheCompanionSaysItAndRestored() {
    using Spoil = std::function<void(const std::filesystem::path&)>;
    struct Case {
        const char* name;
        Spoil spoil;
        bool logbookKept;
        const char* salvaged; // the damaged file's entry; none when it yields nothing
        const char* newer;    // its draws after the last of lsbf.txt
        const char* details;  // the engine's words
    };
    const std::vector<Case> cases = {
        {"a header byte",
         [](const auto& file) {
             std::string b = readFile(file);
             b[3] ^= 0x20;
             writeFile(file, b);
         },
         false, nullptr, nullptr, "file is not a database"},
        {"a bit of an index page", flipIndexBit, true, "损坏文件中可读的 7,731 期（最新 2026224）", "7,656",
         "missing from index"},
        {"a digit out of range",
         [](const auto& file) {
             SQLite::Database(file, SQLite::OPEN_READWRITE)
                 .exec("UPDATE Lishi SET L3A = -1 WHERE SQQH = 2025100");
         },
         true, "损坏文件中可读的 7,730 期（最新 2026224）", "7,655", ""},
    };
    for (const Case& c : cases) {
        qInfo("%s", c.name);
        WindowFixture f;
        writeUsersFolder(f);
        const auto database = dataPath(f) / kDatabaseFile;
        c.spoil(database);
        const std::string damaged = readFile(database);
        const CompanionRun companion = runCompanion(
            QStringLiteral(BRENVIK_CLI), f, {QStringLiteral("export"), f.home() + QStringLiteral(".txt")});
        QCOMPARE(companion.exit, 1);

        f.dialogs.answer(true);               // restore now
        f.dialogs.answer(c.salvaged ? 3 : 2); // from the shipped sample
        f.open();
        QTRY_VERIFY(shownKind(f, QStringLiteral("inform"), QStringLiteral("恢复历史")));
        const auto& offer = f.dialogs.shown[0];
        QCOMPARE(offer.kind, QStringLiteral("confirm"));
        QCOMPARE(offer.text, companion.err.trimmed() + QStringLiteral("\n\n现在恢复历史吗？"));
        QVERIFY2(offer.details.contains(QString::fromLatin1(c.details)), qPrintable(offer.details));
        for (const char* english : {"missing", "malformed", "database"})
            QVERIFY2(!offer.text.contains(QLatin1String(english)), qPrintable(offer.text));
        QStringList listed = {QStringLiteral("撤销备份 kestrel3DUndo.txt：7,721 期，最后一期 2026214"),
                              QStringLiteral("备份文件 lsbf.txt：100 期，最后一期 2004100"),
                              QStringLiteral("附带的样本 fc3d-history.txt：7,731 期，最后一期 2026224"),
                              QStringLiteral("其他历史号码文本文件…")};
        if (c.salvaged) {
            listed[0] += QStringLiteral("，补上损坏文件中较新的 10 期");
            listed[1] += QStringLiteral("，补上损坏文件中较新的 %1 期").arg(QString::fromLatin1(c.newer));
            listed.prepend(QString::fromUtf8(c.salvaged));
        }
        QVERIFY2(f.dialogs.shown[1].text.endsWith(QLatin1Char('\n') + listed.join(QLatin1Char('\n'))),
                 qPrintable(f.dialogs.shown[1].text));

        QCOMPARE(f.window().history().size(), std::size_t(7731));
        int copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dataPath(f)))
            if (entry.path().filename().string().starts_with(std::string(kDatabaseFile) + ".damaged-"))
                copies += readFile(entry.path()) == damaged;
        QCOMPARE(copies, 1);
        auto store = HistoryStore::open(database);
        QVERIFY(store && (*store)->checkWhole());
        QCOMPARE(PredictionLog::entries(**store).value().size(), std::size_t(c.logbookKept ? 1 : 0));
    }
}

// A draw typed before the damage is never lost: the damaged file's own entry keeps it, and a file
// picked in the restore's dialog (in Chinese, opening in the data folder) is completed by it.
void DamagedHistoryTest::aRestoreKeepsEveryReadableDraw() {
    const QString sample = QString::fromStdString(sampleFile("fc3d-history.txt").string());
    for (const bool picked : {false, true}) {
        WindowFixture f;
        writeUsersFolder(f);
        const auto database = dataPath(f) / kDatabaseFile;
        {
            auto store = HistoryStore::open(database);
            const DrawLine typed{2026225, {5, 0, 7}};
            QVERIFY(store && (*store)->appendDraws(std::span(&typed, 1), 1));
        }
        flipIndexBit(database);
        f.dialogs.answer(true);
        f.dialogs.answer(picked ? 4 : 0);
        if (picked)
            f.dialogs.answer(sample);
        f.open();
        QTRY_VERIFY(shownKind(f, QStringLiteral("inform"), QStringLiteral("恢复历史")));
        QVERIFY(
            f.dialogs.shown[1].text.contains(QStringLiteral("损坏文件中可读的 7,732 期（最新 2026225）")));
        if (picked) {
            const auto& dialog = f.dialogs.shown[2];
            QCOMPARE(dialog.kind, QStringLiteral("openFile"));
            QCOMPARE(dialog.text, f.home());
            QCOMPARE(dialog.details, QStringLiteral("历史号码文本文件 (*.txt)"));
            QVERIFY(f.dialogs.shown.back().text.contains(QStringLiteral("其中比它新的 1 期取自损坏的文件")));
        }
        QCOMPARE(f.window().history().size(), std::size_t(7732));
        QCOMPARE(f.window().history().last()->sqqh, 2026225);
        QCOMPARE(f.window().history().last()->digit(3), 7);
    }
}

// The file is checked whole on another thread right after the window opened it; a draw typed in
// meanwhile waits for the verdict, and a damaged file is neither written nor given a log.
void DamagedHistoryTest::changesWaitForTheWholeCheck() {
    WindowFixture f;
    writeUsersFolder(f);
    const auto database = dataPath(f) / kDatabaseFile;
    flipIndexBit(database);
    // The history's own files: the window adds its lock and the import folder beside them.
    const auto historyFiles = [&] {
        auto names = folderContents(dataPath(f));
        std::erase_if(names, [](const std::string& n) { return !n.starts_with("kestrel3D"); });
        return names;
    };
    const auto before = historyFiles();
    const std::string damaged = readFile(database);
    f.open();
    for (const char* box : {"MaskEdBox1(1)", "MaskEdBox1(2)", "MaskEdBox1(3)"})
        QTest::keyClicks(f.find<QWidget>(box), QStringLiteral("7"));
    QVERIFY(shownKind(f, QStringLiteral("confirm"), QStringLiteral("历史数据库已损坏")));
    f.close();
    QCOMPARE(readFile(database), damaged);
    QCOMPARE(historyFiles(), before);
}

void DamagedHistoryTest::oddFoldersNeverHoldTheWindow() {
    {
        WindowFixture f;
        QCOMPARE(::mkfifo((dataPath(f) / kDatabaseFile).c_str(), 0644), 0);
        f.open();
        QTRY_VERIFY(shownKind(f, QStringLiteral("warn"), QStringLiteral("数据库")));
        QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("是一个命名管道，不是普通文件")));
    }
    {
        WindowFixture f;
        f.storeDraws(syntheticDraws(30, 2));
        QCOMPARE(::mkfifo((dataPath(f) / undoFileName(Game::Fc3d)).c_str(), 0644), 0);
        QCOMPARE(f.open().history().size(), std::size_t(30));
    }
    {
        // A name the window's text cannot carry: refused, and no other folder made for it.
        WindowFixture f;
        const QByteArray parent = QFile::encodeName(f.home());
        qputenv("BRENVIK3D_HOME", parent + "/\xB2\xCA\xC6\xB1\xff");
        const auto before = folderContents(dataPath(f));
        QVERIFY(!ui::frmMain::open());
        QCOMPARE(f.dialogs.shown.size(), 1);
        QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("不是 UTF-8")));
        QCOMPARE(folderContents(dataPath(f)), before);
    }
}

QTEST_MAIN(DamagedHistoryTest)
#include "DamagedHistoryTest.moc"
