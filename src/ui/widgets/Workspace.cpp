// SPDX-License-Identifier: GPL-3.0-or-later
#include "Workspace.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Clock.h"
#include "Compaction.h"
#include "DataFolderUpgrade.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "SafeWrite.h"
#include "ShippedHistory.h"
#include "UndoBackup.h"

#include <QDir>
#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

namespace brenvik::ui {

namespace {

const QString kImportFolder = QStringLiteral("历史号码");

} // namespace

QString countsLine(const QString& what, const StoredCounts& c) {
    QString line = QStringLiteral("%1：历史号码现有 %2 期").arg(what, countText(c.stored));
    if (c.skipped > 0)
        line += QStringLiteral("，跳过 %1 行").arg(countText(c.skipped));
    if (c.duplicates > 0)
        line += QStringLiteral("，重复期号 %1 行").arg(countText(c.duplicates));
    return line + QStringLiteral("。");
}

Workspace::Workspace(QString dataFolder, QObject* parent)
    : QObject(parent), m_dataFolder(std::move(dataFolder)), m_snapshot(std::make_shared<HistorySnapshot>()) {
    connect(&m_check, &QFutureWatcher<Result<void>>::finished, this, &Workspace::takeVerdict);
}

Workspace::~Workspace() {
    // The check reads through a connection of its own; it is let finish, not left running.
    m_check.waitForFinished();
}

const SearchIndexPtr& Workspace::sharedIndex() {
    // Set with every snapshot; only a snapshot swapped without it gets its index here.
    if (!m_index || m_index->snapshot() != m_snapshot)
        m_index = std::make_shared<const SearchIndex>(m_snapshot);
    return m_index;
}

void Workspace::setSegmentParam(int param) {
    m_segmentParam = param;
    emit segmentParamChanged(param);
}

void Workspace::prepareFolder() {
    // A write killed half-way leaves its temporary file; an hour later nobody is writing it.
    removeAbandonedTemporaries(toPath(m_dataFolder), std::chrono::hours(1));
    // A new user finds both games' histories ready to load; once the folder exists it is theirs.
    const QDir data(m_dataFolder);
    if (data.exists(kImportFolder) || !data.mkpath(kImportFolder))
        return;
    const QDir folder(data.filePath(kImportFolder));
    QFile::copy(fromPath(shippedHistoryFile(Game::Fc3d)),
                folder.filePath(QStringLiteral("福彩3D历史号码.txt")));
    QFile::copy(fromPath(shippedHistoryFile(Game::Pl3)),
                folder.filePath(QStringLiteral("体彩排列3历史号码.txt")));
    for (const QString& name : folder.entryList(QDir::Files))
        QFile(folder.filePath(name))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
}

QString Workspace::upgradeOldHistory(int gsZl) {
    // GsZl as the earlier version left it says which game its one history holds.
    auto upgraded = upgradeDataFolder(toPath(m_dataFolder), gsZl);
    // A damaged file is reported by its opening, which offers to restore it.
    if (!upgraded && upgraded.error().code != ErrorCode::Damaged) {
        m_upgradeProblem = qs(upgraded.error().message);
        return {};
    }
    if (!upgraded)
        return {};
    return qs(*upgraded);
}

void Workspace::openDatabase() {
    const QString file = QDir(m_dataFolder).filePath(QString::fromLatin1(databaseFileName(m_game)));
    // The seal is compared by the check that starts once the window has shown the history.
    auto opened =
        HistoryStore::open(toPath(file), m_game, HistoryStore::Access::Change, HistoryStore::Proof::Later);
    auto snapshot = opened ? (*opened)->loadSnapshot() : std::unexpected(opened.error());
    if (!snapshot) {
        // A file we cannot read is left alone: no later action may write into it.
        m_databaseProblem = qs(snapshot.error().message);
        m_damageDetail = qs(snapshot.error().detail);
        m_damaged = snapshot.error().code == ErrorCode::Damaged;
        return;
    }
    m_store = std::move(*opened);
    m_snapshot = std::move(*snapshot);
    m_index = std::make_shared<const SearchIndex>(m_snapshot);
    startCheck();
}

void Workspace::startCheck() {
    // A file the opening wrote (a new or upgraded history) was checked before it was written.
    if (m_store->checkedSound())
        return;
    m_checkPending = true;
    m_checkStarted = false;
    if (!m_checksHeld)
        runCheck();
}

void Workspace::runCheck() {
    m_checkStarted = true;
    m_check.setFuture(QtConcurrent::run(m_store->checkTask()));
}

void Workspace::releaseChecks() {
    m_checksHeld = false;
    if (m_checkPending && !m_checkStarted && m_store)
        runCheck();
}

void Workspace::takeVerdict() {
    if (!m_checkPending || !m_checkStarted)
        return;
    m_checkPending = false;
    m_checkStarted = false;
    const Result<void> verdict = m_check.result();
    if (!m_store)
        return;
    m_store->acceptCheck(verdict);
    if (!verdict)
        reportDamage(verdict.error());
}

void Workspace::reportDamage(const Error& damage) {
    m_damaged = true;
    m_databaseProblem = qs(damage.message);
    m_damageDetail = qs(damage.detail);
    emit damageFound(m_databaseProblem);
}

// A change asked for while the check runs waits for its verdict; on a large history that is the
// second or so since the window opened.
void Workspace::awaitVerdict() {
    if (!m_checkPending)
        return;
    if (!m_checkStarted)
        runCheck();
    BusyCursor busy;
    m_check.waitForFinished();
    takeVerdict();
}

HistoryStore* Workspace::checkedStore() {
    awaitVerdict();
    return m_store && m_store->checkedSound() ? m_store.get() : nullptr;
}

Result<Restored> Workspace::restoreFrom(const RestorePlan& plan) {
    BusyCursor busy;
    // Nothing of this program may hold the damaged file while it is put aside.
    m_check.waitForFinished();
    m_checkPending = false;
    m_checkStarted = false;
    m_store.reset();
    const auto database = toPath(m_dataFolder) / databaseFileName(m_game);
    auto restored = restoreHistory(database, m_game, plan, m_segmentParam, std::chrono::system_clock::now());
    m_damaged = false;
    open(m_game);
    return restored;
}

void Workspace::open(Game game) {
    BusyCursor busy;
    m_game = game;
    m_check.waitForFinished();
    m_checkPending = false;
    m_checkStarted = false;
    m_damaged = false;
    m_store.reset();
    m_snapshot = std::make_shared<HistorySnapshot>();
    m_databaseProblem = m_upgradeProblem;
    m_damageDetail.clear();
    if (m_databaseProblem.isEmpty())
        openDatabase();
    m_lastQQH = 0;
    emit gameChanged(game);
    QihaoXianshi();
    emit historyChanged(HistoryChange::Opened);
}

bool Workspace::requireStore() {
    if (!m_store) {
        if (m_damaged)
            emit damageFound(m_databaseProblem);
        else
            emit failed(QStringLiteral("数据库"), m_databaseProblem.isEmpty()
                                                      ? QStringLiteral("历史数据库没有打开。")
                                                      : m_databaseProblem);
        return false;
    }
    awaitVerdict();
    if (auto sound = m_store->requireSound(); !sound) {
        if (sound.error().code == ErrorCode::Damaged)
            reportDamage(sound.error());
        else
            emit failed(QStringLiteral("数据库"), qs(sound.error().message));
        return false;
    }
    return true;
}

void Workspace::AddHaoma(HistoryChange how) {
    if (m_store) {
        if (auto snapshot = m_store->loadSnapshot()) {
            m_snapshot = std::move(*snapshot);
            m_index = std::make_shared<const SearchIndex>(m_snapshot);
        } else {
            emit status(QStringLiteral("历史号码未能重新读取：") + qs(snapshot.error().message));
        }
    }
    QihaoXianshi();
    emit historyChanged(how);
}

std::optional<std::int32_t> Workspace::QihaoXianshi() {
    const DrawRow* last = m_snapshot->last();
    if (!last)
        return std::nullopt;
    m_lastQQH = last->qqh;
    const std::int32_t issue = proposedIssue(last->sqqh, chinaYear(now()));
    emit issueProposed(issue);
    return issue;
}

bool Workspace::Delrec() {
    if (!requireStore())
        return false;
    auto deleted = changeWithUndo(*m_store, "清空历史号码", [this] { return m_store->deleteAll(); });
    if (!deleted) {
        emit failed(QStringLiteral("清空历史号码"), qs(deleted.error().message));
        return false;
    }
    return true;
}

void Workspace::Dqzd(const Result<StoredCounts>& rebuilt, const QString& what) {
    // The history was rebuilt from the backup by the library; here the views catch up.
    AddHaoma(HistoryChange::Trimmed);
    if (!rebuilt) {
        emit failed(what, qs(rebuilt.error().message));
        return;
    }
    emit status(countsLine(what, *rebuilt));
}

bool Workspace::CompactDb() {
    if (!m_store)
        return false;
    auto compacted = compactAndReopen(m_store);
    if (!m_store) {
        m_databaseProblem = qs(compacted.error().message);
        emit failed(QStringLiteral("数据库"), m_databaseProblem);
        return false;
    }
    // A box, not the status line: the caller's own line would cover it at once.
    if (!compacted)
        emit failed(QStringLiteral("数据库压缩"),
                    QStringLiteral("历史号码的改动已保存，但数据库压缩未完成，数据库文件保持压缩前的样子：") +
                        qs(compacted.error().message));
    return compacted.has_value();
}

} // namespace brenvik::ui
