// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryCommands.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Clock.h"
#include "Dialogs.h"
#include "ExportFile.h"
#include "GameCheck.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryRestore.h"
#include "IssueNumber.h"
#include "OnlineUpdate.h"
#include "PanelParts.h"
#include "SettingsStore.h"
#include "ShippedHistory.h"
#include "SurfaceParts.h"
#include "Tally.h"
#include "UndoBackup.h"
#include "Workspace.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace brenvik::ui {

namespace {

const QString kImportFolder = QStringLiteral("历史号码");
// What a change of the history shows while it stores its rows; once begun it is not stopped.
const QString kStoring = QStringLiteral("已存入 %1 / %2 期");

QString grouped(std::size_t count) {
    return qs(groupedCount(static_cast<long long>(count)));
}

QString segmentCaption(int param) {
    return param == 0 ? QStringLiteral("段数参数0~4") : QStringLiteral("段数参数1~5");
}

} // namespace

HistoryCommands::HistoryCommands(Workspace& workspace, SettingsStore& settings, QWidget* window,
                                 QAction* undo)
    : QObject(window), m_workspace(workspace), m_settings(settings), m_window(window), m_undo(undo) {}

void HistoryCommands::importHistory() {
    const QString title = QStringLiteral("读入历史");
    // The import replaces the whole history: a habitual Enter must not start it.
    if (!Dialogs::confirmRemoval(
            m_window, title,
            QStringLiteral(
                "确实要读入最新历史号码吗？点击'确认'读入,点击'取消'放弃该操作。"
                "接着请选择历史号码的文本文件（数据目录的“历史号码”文件夹里备有两种彩票的历史号码）。"
                "读取时可能要花费一段时间,请耐心等候！")))
        return;
    const QString folder = QDir(m_workspace.dataFolder()).filePath(kImportFolder);
    QDir().mkpath(folder);
    const QString file = Dialogs::openFile(m_window, QStringLiteral("读取历史号文本"), folder,
                                           QStringLiteral("文本文件 (*.txt)"));
    if (!file.endsWith(QStringLiteral("txt"), Qt::CaseInsensitive)) {
        m_workspace.QihaoXianshi();
        return;
    }
    if (!m_workspace.requireStore())
        return;
    HistoryStore& store = *m_workspace.store();
    const HistorySnapshot& history = m_workspace.history();
    // The file is read once, before the question that needs its count; it may be stopped, as
    // nothing has changed yet.
    auto read = [&] {
        BusyCursor busy;
        Dialogs::Progress progress(m_window, title, QStringLiteral("已读取 %1 / %2 字节"));
        return readImportFile(toPath(file), chinaYear(now()), progress.tracker());
    }();
    if (!read) {
        if (read.error().code != ErrorCode::Cancelled)
            Dialogs::warn(m_window, title, qs(read.error().message));
        return;
    }
    // The other game's file would replace this game's history by draws it never had.
    if (const auto issues = compareIssues(history, read->draws);
        issues.looksLikeOtherGame() &&
        !Dialogs::confirmRemoval(m_window, title,
                                 qs(otherGameNotice(m_workspace.game(), issues)) +
                                     QStringLiteral("确实要导入吗？")))
        return;
    const std::size_t stored = history.size();
    if (read->draws.size() < stored &&
        !Dialogs::confirmRemoval(m_window, title,
                                 QStringLiteral("将用文件中的 %1 期替换现有的 %2 期。确实要替换吗？")
                                     .arg(grouped(read->draws.size()), grouped(stored))))
        return;
    const QString what = QStringLiteral("读入 ") + QFileInfo(file).fileName();
    auto imported = [&] {
        BusyCursor busy;
        // Once the change has begun it commits whole or not at all: no Cancel.
        Dialogs::Progress progress(m_window, title, kStoring, false);
        auto result = changeWithUndo(store, what.toStdString(), [&] {
            return brenvik::importHistory(store, *read, m_workspace.segmentParam(), progress.tracker());
        });
        m_workspace.AddHaoma(HistoryChange::Replaced);
        return result;
    }();
    if (!imported) {
        Dialogs::warn(m_window, title, qs(imported.error().message));
        return;
    }
    emit status(countsLine(what, *imported));
}

void HistoryCommands::exportHistoryText() {
    // Without a database there is no history to write, only an empty file to mislead.
    if (!m_workspace.requireStore())
        return;
    const QString title = QStringLiteral("历史号码导出文本文件");
    const HistorySnapshot& history = m_workspace.history();
    const auto place = exportPlace(m_window, title, m_workspace.dataFolder(),
                                   qs(exportFileName(m_workspace.game(), history)));
    if (!place)
        return;
    if (!writeExport(m_window, title, place->file, QStringLiteral("已写出 %1 / %2 期"),
                     [&](OutputFile& out, const Progress& progress) {
                         return writeHistoryText(out, history, progress);
                     }))
        return;
    tellElsewhere(m_window, title, *place);
    emit status(openWritten(m_window, place->file));
}

void HistoryCommands::updateOnline() {
    runOnlineUpdate(true);
}

void HistoryCommands::updateOnlineNow() {
    runOnlineUpdate(false);
}

void HistoryCommands::runOnlineUpdate(bool ask) {
    if (ask && !Dialogs::confirm(m_window, online::kConfirmTitle, online::kConfirmText))
        return;
    if (!m_workspace.requireStore())
        return;
    QString why;
    const SurfaceParts* parts = surfaceParts(&why);
    if (!parts) {
        Dialogs::warn(m_window, online::kTitle, QStringLiteral("无法在线更新：") + why);
        return;
    }
    const SettingsValues settings = m_settings.read();
    const DrawSource source = storedSource(settings);
    QString host = source == DrawSource::Chart ? m_settings.chartHost() : m_settings.feedHost();
    if (source == DrawSource::Chart && host.isEmpty()) {
        // No chart site is shipped: the first update from one asks for it.
        const auto asked = parts->askChartHost(m_window, m_settings, {});
        if (!asked)
            return;
        host = *asked;
    }
    emit busy(true);
    emit status(QStringLiteral("正在从%1更新%2的历史号码……")
                    .arg(qs(sourceName(source)), qs(displayName(m_workspace.game()))));
    const Game game = m_workspace.game();
    const int year = chinaYear(now());
    OnlineUpdateResult result =
        parts->onlineUpdate(m_window, *m_workspace.store(), m_workspace.history(),
                            {game, source, host, m_workspace.segmentParam(), settings.IniSerchDay, year,
                             std::chrono::milliseconds(1000), shippedHistory(game, year)});
    emit busy(false);

    if (result.historyChanged)
        m_workspace.AddHaoma(HistoryChange::Replaced);
    emit status(result.message.section(QLatin1Char('\n'), 0, 0));
    // The old years are offered for removal only with the new draws in view.
    if (result.stored()) {
        const RetentionOutcome kept = parts->offerRetention(m_window, m_settings, *m_workspace.store(), year,
                                                            m_workspace.segmentParam());
        if (kept.removed > 0)
            m_workspace.AddHaoma(HistoryChange::Trimmed);
        if (!kept.message.isEmpty())
            result.message += QLatin1Char('\n') + kept.message;
    }
    updateUndoAction();
    emit updateFinished();
    if (result.succeeded())
        Dialogs::inform(m_window, online::kTitle, result.message);
    else
        Dialogs::warn(m_window, online::kTitle, result.message);
}

bool HistoryCommands::confirmRemoval(std::size_t removed, const QString& text) {
    // One draw is one keystroke to type again, and the undo brings it back anyway.
    return removed <= 1 || Dialogs::confirmRemoval(m_window, QStringLiteral("确认删除"), text);
}

void HistoryCommands::deleteLastDraw() {
    if (!m_workspace.requireStore())
        return;
    HistoryStore& store = *m_workspace.store();
    Result<std::optional<std::int32_t>> deleted = std::nullopt;
    if (!m_workspace.history().empty())
        deleted = changeWithUndo(store, "删除最后一期", [&] { return store.deleteLast(); });
    if (!deleted)
        Dialogs::warn(m_window, QStringLiteral("删除最后历史"), qs(deleted.error().message));
    m_workspace.AddHaoma(HistoryChange::Trimmed);
    m_workspace.CompactDb();
    updateUndoAction();
    if (deleted)
        emit status(*deleted ? QStringLiteral("已删除第 %1 期。").arg(**deleted)
                             : QStringLiteral("没有可删除的历史号码。"));
}

void HistoryCommands::clearHistory() {
    const HistorySnapshot& history = m_workspace.history();
    // Clearing an empty history would only replace the undo backup by an empty one.
    if (history.empty()) {
        emit status(QStringLiteral("没有可删除的历史号码。"));
        return;
    }
    if (!Dialogs::confirmRemoval(
            m_window, QStringLiteral("确认清空"),
            QStringLiteral("确定要清空所有的 %1 期历史号码吗？").arg(grouped(history.size()))))
        return;
    const std::size_t before = history.size();
    const bool cleared = m_workspace.Delrec();
    m_workspace.AddHaoma(HistoryChange::Trimmed);
    if (cleared)
        emit status(QStringLiteral("已清空历史号码，删除 %1 期。").arg(grouped(before)));
}

void HistoryCommands::deleteDownToIssue() {
    const QString title = QStringLiteral("删除期数");
    const HistorySnapshot& history = m_workspace.history();
    const auto answer =
        Dialogs::input(m_window, title, QStringLiteral("请输入需要删除到的期数，例如‘2014016’"),
                       history.empty() ? QString() : QString::number(m_workspace.lastStoredQQH() - 1));
    if (!answer || answer->trimmed().isEmpty())
        return;
    // A slip of the finger must not empty a history: only an issue inside it is taken.
    const auto lastKept = readIssue(answer->toStdString(), chinaYear(now()));
    if (!lastKept) {
        Dialogs::warn(m_window, title, qs(lastKept.error().message) + QStringLiteral("，历史号码未改动。"));
        return;
    }
    const auto kept = drawsUpTo(history, *lastKept);
    if (!kept) {
        Dialogs::warn(m_window, title, qs(kept.error().message));
        return;
    }
    const std::size_t removed = history.size() - kept->size();
    if (removed == 0) {
        emit status(QStringLiteral("第 %1 期之后没有历史号码，未删除。").arg(*lastKept));
        return;
    }
    if (!confirmRemoval(removed, QStringLiteral("将删除第 %1 期之后的 %2 期历史号码。继续吗？")
                                     .arg(*lastKept)
                                     .arg(grouped(removed))))
        return;
    if (!m_workspace.requireStore())
        return;
    BusyCursor busy;
    HistoryStore& store = *m_workspace.store();
    const QString what = QStringLiteral("删除到第 %1 期").arg(*lastKept);
    Dialogs::Progress progress(m_window, title, kStoring, false);
    auto rebuilt = changeWithUndo(store, what.toStdString(), [&] {
        return deleteDownTo(store, toPath(m_workspace.dataFolder()), *lastKept, m_workspace.segmentParam(),
                            progress.tracker());
    });
    m_workspace.Dqzd(rebuilt, what);
    m_workspace.CompactDb();
}

void HistoryCommands::deleteLastDraws() {
    const auto answer = Dialogs::input(
        m_window, QStringLiteral("删除期数"),
        QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
        QStringLiteral("1"));
    const auto count = answer ? parseWholeNumber(answer->toStdString(), 1, INT32_MAX) : std::nullopt;
    if (!count)
        return;
    const HistorySnapshot& history = m_workspace.history();
    const std::size_t size = history.size();
    const std::size_t removed = std::min(size, static_cast<std::size_t>(*count));
    if (removed == 0) {
        emit status(QStringLiteral("没有可删除的历史号码。"));
        return;
    }
    if (!confirmRemoval(removed, QStringLiteral("将删除最后的 %1 期历史号码（第 %2 期至第 %3 期）。继续吗？")
                                     .arg(grouped(removed))
                                     .arg(history[size - removed].sqqh)
                                     .arg(history.last()->sqqh)))
        return;
    if (!m_workspace.requireStore())
        return;
    BusyCursor busy;
    HistoryStore& store = *m_workspace.store();
    const QString what = QStringLiteral("删除最后 %1 期").arg(*count);
    Dialogs::Progress progress(m_window, QStringLiteral("删除期数"), kStoring, false);
    auto rebuilt = changeWithUndo(store, what.toStdString(), [&] {
        return brenvik::deleteLastDraws(store, toPath(m_workspace.dataFolder()), *count,
                                        m_workspace.segmentParam(), progress.tracker());
    });
    m_workspace.Dqzd(rebuilt, what);
    m_workspace.CompactDb();
}

void HistoryCommands::updateUndoAction() {
    const HistoryStore* store = m_workspace.store();
    m_undo->setEnabled(store && hasUndoBackup(*store));
}

void HistoryCommands::undoChange() {
    const QString title = QStringLiteral("撤销上次更改");
    if (!m_workspace.requireStore())
        return;
    HistoryStore& store = *m_workspace.store();
    auto backup = readUndoBackup(store);
    if (!backup) {
        Dialogs::warn(m_window, title, qs(backup.error().message));
        return;
    }
    if (!*backup) {
        updateUndoAction();
        return;
    }
    const QString what = qs(describeUndo(**backup));
    if (!Dialogs::confirmRemoval(m_window, title, QStringLiteral("将历史号码恢复为%1。继续吗？").arg(what)))
        return;
    auto restored = [&] {
        BusyCursor busy;
        Dialogs::Progress progress(m_window, title, kStoring, false);
        auto result = undoLastChange(store, **backup, progress.tracker());
        m_workspace.AddHaoma(HistoryChange::Replaced);
        return result;
    }();
    if (!restored) {
        Dialogs::warn(m_window, title, qs(restored.error().message));
        return;
    }
    emit status(QStringLiteral("已撤销：恢复到%1历史号码。").arg(what));
}

void HistoryCommands::restoreHistory() {
    const QString title = QStringLiteral("恢复历史");
    const Game game = m_workspace.game();
    const QString folder = m_workspace.dataFolder();
    // Found damaged, or anything else at the history's place that is no sound history of ours.
    if (!m_workspace.damaged()) {
        const auto needed = needsRestore(toPath(folder) / databaseFileName(game));
        if (!needed) {
            Dialogs::warn(m_window, title, qs(needed.error().message), qs(needed.error().detail));
            return;
        }
        if (!*needed) {
            Dialogs::inform(
                m_window, title,
                QStringLiteral("历史数据库完好，不需要恢复。要换成文件中的历史号码，请用“读取历史号文本”。"));
            return;
        }
    }
    const int year = chinaYear(now());
    // The damaged file comes first: what it still holds is the newest history there is, typed
    // draws included, and every backup is completed by its draws after the backup's last one.
    const auto salvaged = [&] {
        BusyCursor busy;
        return salvageSource(toPath(folder) / databaseFileName(game), year);
    }();
    const std::span<const DrawLine> damagedDraws =
        salvaged ? std::span<const DrawLine>(salvaged->draws) : std::span<const DrawLine>();
    const auto backups = restoreSources(toPath(folder), game, shippedHistoryFile(game), year);
    QStringList items;
    if (salvaged)
        items << qs(describeSource(salvaged->source));
    for (const RestoreSource& backup : backups) {
        QString item = qs(describeSource(backup));
        const auto newer = std::ranges::count_if(damagedDraws, [&](const DrawLine& d) {
            return !backup.lastIssue || d.issue > *backup.lastIssue;
        });
        if (newer > 0)
            item += QStringLiteral("，补上损坏文件中较新的 %1 期").arg(countText(newer));
        items << item;
    }
    items << QStringLiteral("其他历史号码文本文件…");
    const QString database = QString::fromLatin1(databaseFileName(game));
    const auto chosen = Dialogs::choose(
        m_window, title,
        QStringLiteral("历史号码将从选定的来源重建，损坏的文件中还能读出的预测记录会保留。\n"
                       "选用备份时，损坏的文件中比备份新的各期会补上，两者号码不同的期保留备份中的号码。\n"
                       "损坏的数据库文件 %1 会另存为 %1.damaged-日期-时间，不会删除。\n请选择：")
            .arg(database),
        items);
    if (!chosen)
        return;
    std::size_t index = static_cast<std::size_t>(*chosen);
    RestorePlan plan;
    QString from;
    if (salvaged && index == 0) {
        plan = completedBy({}, damagedDraws);
    } else {
        index -= salvaged ? 1 : 0;
        std::filesystem::path file;
        if (index < backups.size()) {
            file = backups[index].file;
        } else {
            const QString picked = Dialogs::openFile(m_window, QStringLiteral("选择历史号码文本文件"), folder,
                                                     QStringLiteral("历史号码文本文件 (*.txt)"));
            if (picked.isEmpty())
                return;
            file = toPath(picked);
        }
        auto read = readImportFile(file, year);
        if (!read) {
            Dialogs::warn(m_window, title, qs(read.error().message));
            return;
        }
        plan = completedBy(read->draws, damagedDraws);
        from = qs(shownPath(file.filename()));
    }
    auto restored = m_workspace.restoreFrom(plan);
    if (!restored) {
        Dialogs::warn(m_window, title, qs(restored.error().message), qs(restored.error().detail));
        return;
    }
    const QString line = qs(restoredLine(*restored, from.toStdString()));
    emit status(line);
    Dialogs::inform(m_window, title, line);
}

void HistoryCommands::offerSegmentRebuild() {
    const int param = m_workspace.segmentParam();
    const SnapshotPtr& snapshot = m_workspace.snapshot();
    if (m_segmentsCheckedOn.lock() == snapshot && m_segmentsCheckedParam == param)
        return;
    m_segmentsCheckedOn = snapshot;
    m_segmentsCheckedParam = param;
    const StoredSegments stored = storedSegments(*snapshot);
    const std::size_t off = stored.disagreeing(param);
    if (off == 0)
        return;
    const QString consequence =
        QStringLiteral("段数的检索和统计会漏掉或错配一部分结果。要按当前设置重建历史号码吗？");
    const QString question =
        off == snapshot->size() && stored.neither == 0
            ? QStringLiteral("历史号码的段数是按“%1”写入的，与当前设置“%2”不同，")
                  .arg(segmentCaption(1 - param), segmentCaption(param))
            : QStringLiteral("历史号码中有 %1 期的段数不是按当前设置“%2”写入的（写入后改过段数参数），")
                  .arg(off)
                  .arg(segmentCaption(param));
    if (!Dialogs::confirm(m_window, QStringLiteral("段数参数"), question + consequence) ||
        !m_workspace.requireStore())
        return;
    BusyCursor busy;
    // Deleting down to the last draw keeps every draw and re-derives all their codes with the
    // setting in force: the rebuild the deletions use.
    HistoryStore& store = *m_workspace.store();
    const QString what = QStringLiteral("按“%1”重建").arg(segmentCaption(param));
    Dialogs::Progress progress(m_window, QStringLiteral("段数参数"), kStoring, false);
    auto rebuilt = changeWithUndo(store, what.toStdString(), [&] {
        return deleteDownTo(store, toPath(m_workspace.dataFolder()), snapshot->last()->sqqh, param,
                            progress.tracker());
    });
    m_workspace.Dqzd(rebuilt, what);
}

} // namespace brenvik::ui
