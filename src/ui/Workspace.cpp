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
#include "UndoBackup.h"

#include <QDir>
#include <QFile>

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
    : QObject(parent), m_dataFolder(std::move(dataFolder)), m_snapshot(std::make_shared<HistorySnapshot>()) {}

Workspace::~Workspace() = default;

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
    QFile::copy(sampleHistoryFile(QStringLiteral("fc3d-history.txt")),
                folder.filePath(QStringLiteral("福彩3D历史号码.txt")));
    QFile::copy(sampleHistoryFile(QStringLiteral("pl3-history.txt")),
                folder.filePath(QStringLiteral("体彩排列3历史号码.txt")));
    for (const QString& name : folder.entryList(QDir::Files))
        QFile(folder.filePath(name))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
}

QString Workspace::upgradeOldHistory(int gsZl) {
    // GsZl as the earlier version left it says which game its one history holds.
    auto upgraded = upgradeDataFolder(toPath(m_dataFolder), gsZl);
    if (!upgraded) {
        m_upgradeProblem = qs(upgraded.error().message);
        return {};
    }
    return qs(*upgraded);
}

void Workspace::openDatabase() {
    const QString file = QDir(m_dataFolder).filePath(QString::fromLatin1(databaseFileName(m_game)));
    auto opened = HistoryStore::open(toPath(file), m_game);
    if (!opened) {
        m_databaseProblem = qs(opened.error().message);
        return;
    }
    auto snapshot = (*opened)->loadSnapshot();
    if (!snapshot) {
        // A file we cannot read is left alone: no later action may write into it.
        m_databaseProblem = qs(snapshot.error().message);
        return;
    }
    m_store = std::move(*opened);
    m_snapshot = std::move(*snapshot);
    m_index = std::make_shared<const SearchIndex>(m_snapshot);
}

void Workspace::open(Game game) {
    BusyCursor busy;
    m_game = game;
    m_store.reset();
    m_snapshot = std::make_shared<HistorySnapshot>();
    m_databaseProblem = m_upgradeProblem;
    if (m_databaseProblem.isEmpty())
        openDatabase();
    m_lastQQH = 0;
    emit gameChanged(game);
    QihaoXianshi();
    emit historyChanged(HistoryChange::Opened);
}

bool Workspace::requireStore() {
    if (m_store)
        return true;
    emit failed(QStringLiteral("数据库"),
                m_databaseProblem.isEmpty() ? QStringLiteral("历史数据库没有打开。") : m_databaseProblem);
    return false;
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
