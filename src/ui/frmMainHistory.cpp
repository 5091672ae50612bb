// Feeding, exporting and trimming the history: text import and export, spreadsheets, the
// deletions with their rebuild and compaction.
#include "AppPaths.h"
#include "BusyCursor.h"
#include "Compaction.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "GameCheck.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "IssueNumber.h"
#include "SafeWrite.h"
#include "Spreadsheet.h"
#include "UndoBackup.h"
#include "frmMain.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QUrl>

namespace brenvik::ui {

namespace {

const QString kImportFolder = QStringLiteral("历史号码");

QString countsLine(const QString& what, const StoredCounts& c) {
    QString line = QStringLiteral("%1：历史号码现有 %2 期").arg(what).arg(c.stored);
    if (c.skipped > 0)
        line += QStringLiteral("，跳过 %1 行").arg(c.skipped);
    if (c.duplicates > 0)
        line += QStringLiteral("，重复期号 %1 行").arg(c.duplicates);
    return line + QStringLiteral("。");
}

QString grouped(std::size_t count) {
    return qs(groupedCount(static_cast<long long>(count)));
}

} // namespace

void frmMain::sweepAbandonedFiles() {
    // A write killed half-way leaves its temporary file; an hour later nobody is writing it.
    removeAbandonedTemporaries(toPath(m_dataFolder), std::chrono::hours(1));
}

void frmMain::provideSampleHistories() {
    // A new user finds both games' histories ready to load; once the folder exists it is theirs.
    const QDir data(m_dataFolder);
    if (data.exists(kImportFolder))
        return;
    if (!data.mkpath(kImportFolder))
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

void frmMain::refreshAfterImport() {
    AddHaoma(); // also brings the newest draws into view
    QihaoXianshi();
    setRangeStart();
    setRangeEndToLast();
    reloadPattern();
}

void frmMain::cmdRdLst_Click() {
    const QString title = QStringLiteral("读入历史");
    if (!Dialogs::confirm(
            this, title,
            QStringLiteral("确实要读入最新历史号码吗？点击'确认'读入,点击'取消'放弃该操作。"
                           "确要读入请保证安装目录下存在历史号码的文本文件文件。读取时可能要花费一段时间,"
                           "请耐心等候！")))
        return;
    const QString folder = QDir(m_dataFolder).filePath(kImportFolder);
    QDir().mkpath(folder);
    const QString file =
        Dialogs::openFile(this, QStringLiteral("读取历史号文本"), folder, QStringLiteral("Text(*.txt)"));
    if (!file.endsWith(QStringLiteral("txt"), Qt::CaseInsensitive)) {
        QihaoXianshi();
        return;
    }
    if (!requireStore())
        return;
    // The file is read once, before the question that needs its count.
    auto read = [&] {
        BusyCursor busy;
        return readImportFile(toPath(file));
    }();
    if (!read) {
        Dialogs::warn(this, title, qs(read.error().message));
        return;
    }
    // The other game's file would replace this game's history by draws it never had.
    if (const auto issues = compareIssues(*m_snapshot, read->draws);
        issues.looksLikeOtherGame() &&
        !Dialogs::confirm(this, title,
                          qs(otherGameNotice(m_game, issues)) + QStringLiteral("确实要导入吗？")))
        return;
    const std::size_t stored = m_snapshot->size();
    if (read->draws.size() < stored &&
        !Dialogs::confirm(this, title,
                          QStringLiteral("将用文件中的 %1 期替换现有的 %2 期。确实要替换吗？")
                              .arg(grouped(read->draws.size()), grouped(stored))))
        return;
    const QString what = QStringLiteral("读入 ") + QFileInfo(file).fileName();
    auto imported = [&] {
        BusyCursor busy;
        auto result = changeWithUndo(*m_store, *m_snapshot, what.toStdString(),
                                     [&] { return importHistory(*m_store, *read, m_set.DsIni); });
        refreshAfterImport();
        updateUndoAction();
        return result;
    }();
    if (!imported) {
        Dialogs::warn(this, title, qs(imported.error().message));
        return;
    }
    status(countsLine(what, *imported));
}

void frmMain::openWritten(const QString& file) {
    status(QStringLiteral("已写出 %1").arg(QDir::toNativeSeparators(file)));
    if (!Dialogs::openUrl(QUrl::fromLocalFile(file))) {
        const QFileInfo written(file);
        Dialogs::warn(this, QStringLiteral("打开文件"),
                      QStringLiteral("文件 %1 已写到文件夹 %2 中，但本机没有可以打开它的程序。")
                          .arg(written.fileName(), QDir::toNativeSeparators(written.absolutePath())));
    }
}

void frmMain::Command4_Click() {
    // Without a database there is no history to write, only an empty file to mislead.
    if (!requireStore())
        return;
    auto written = exportHistory(toPath(m_dataFolder), m_game, *m_snapshot);
    if (!written) {
        Dialogs::warn(this, QStringLiteral("历史号码导出文本文件"), qs(written.error().message));
        return;
    }
    openWritten(fromPath(*written));
}

void frmMain::exportGrid(const GridModel& model, const char* fileName) {
    SheetTable table;
    table.reserve(static_cast<std::size_t>(model.gridRowCount()));
    for (int r = 0; r < model.gridRowCount(); ++r) {
        std::vector<SheetCell>& row = table.emplace_back();
        for (int c = 0; c < model.columnCount(); ++c)
            row.push_back(model.sheetCell(r, c));
    }
    const QString file = QDir(m_dataFolder).filePath(QString::fromStdString(sheetFileName(m_game, fileName)));
    {
        BusyCursor busy;
        if (auto written = writeSpreadsheet(toPath(file), table); !written) {
            Dialogs::warn(this, QStringLiteral("导出到EXCEL"), qs(written.error().message));
            return;
        }
    }
    openWritten(file);
}

bool frmMain::CompactDb() {
    if (!m_store)
        return false;
    auto compacted = compactAndReopen(m_store);
    if (!m_store) {
        m_databaseProblem = qs(compacted.error().message);
        Dialogs::warn(this, QStringLiteral("数据库"), m_databaseProblem);
        return false;
    }
    // A box, not the status line: the caller's own line would cover it at once.
    if (!compacted)
        Dialogs::warn(
            this, QStringLiteral("数据库压缩"),
            QStringLiteral("历史号码的改动已保存，但数据库压缩未完成，数据库文件保持压缩前的样子：") +
                qs(compacted.error().message));
    return compacted.has_value();
}

void frmMain::Dqzd(const Result<StoredCounts>& rebuilt, const QString& what) {
    // The history was rebuilt from the backup by the library; here the window catches up.
    AddHaoma();
    QihaoXianshi();
    reloadPattern();
    updateUndoAction();
    if (!rebuilt) {
        Dialogs::warn(this, what, qs(rebuilt.error().message));
        return;
    }
    status(countsLine(what, *rebuilt));
}

bool frmMain::confirmRemoval(std::size_t removed, const QString& text) {
    // One draw is one keystroke to type again, and the undo brings it back anyway.
    return removed <= 1 || Dialogs::confirm(this, QStringLiteral("确认删除"), text);
}

void frmMain::Command3_Click() {
    if (!requireStore())
        return;
    Result<std::optional<std::int32_t>> deleted = std::nullopt;
    if (!m_snapshot->empty())
        deleted =
            changeWithUndo(*m_store, *m_snapshot, "删除最后一期", [this] { return m_store->deleteLast(); });
    if (!deleted)
        Dialogs::warn(this, QStringLiteral("删除最后历史"), qs(deleted.error().message));
    AddHaoma();
    reloadPattern();
    CompactDb();
    QihaoXianshi();
    updateUndoAction();
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    if (deleted)
        status(*deleted ? QStringLiteral("已删除第 %1 期。").arg(**deleted)
                        : QStringLiteral("没有可删除的历史号码。"));
}

void frmMain::mnuClear_Click() {
    // Clearing an empty history would only replace the undo backup by an empty one.
    if (m_snapshot->empty()) {
        status(QStringLiteral("没有可删除的历史号码。"));
        return;
    }
    if (!Dialogs::confirm(
            this, QStringLiteral("确认清空"),
            QStringLiteral("确定要清空所有的 %1 期历史号码吗？").arg(grouped(m_snapshot->size()))))
        return;
    const std::size_t before = m_snapshot->size();
    const bool cleared = Delrec();
    AddHaoma();
    updateUndoAction();
    if (cleared)
        status(QStringLiteral("已清空历史号码，删除 %1 期。").arg(before));
}

void frmMain::mnuDlzd_Click() {
    const QString title = QStringLiteral("删除期数");
    const auto answer = Dialogs::input(this, title, QStringLiteral("请输入需要删除到的期数，例如‘2014016’"),
                                       m_snapshot->empty() ? QString() : QString::number(m_lastQQH - 1));
    if (!answer || answer->trimmed().isEmpty())
        return;
    // A slip of the finger must not empty a history: only an issue inside it is taken.
    const auto lastKept = parseIssue(answer->toStdString());
    if (!lastKept) {
        Dialogs::warn(this, title,
                      QStringLiteral("“%1”不是七位期号（例如 2014016），历史号码未改动。").arg(*answer));
        return;
    }
    const auto kept = drawsUpTo(*m_snapshot, *lastKept);
    if (!kept) {
        Dialogs::warn(this, title, qs(kept.error().message));
        return;
    }
    const std::size_t removed = m_snapshot->size() - kept->size();
    if (removed == 0) {
        status(QStringLiteral("第 %1 期之后没有历史号码，未删除。").arg(*lastKept));
        return;
    }
    if (!confirmRemoval(removed, QStringLiteral("将删除第 %1 期之后的 %2 期历史号码。继续吗？")
                                     .arg(*lastKept)
                                     .arg(grouped(removed))))
        return;
    if (!requireStore())
        return;
    BusyCursor busy;
    const QString what = QStringLiteral("删除到第 %1 期").arg(*lastKept);
    auto rebuilt = changeWithUndo(*m_store, *m_snapshot, what.toStdString(), [&] {
        return deleteDownTo(*m_store, toPath(m_dataFolder), *lastKept, m_set.DsIni);
    });
    Dqzd(rebuilt, what);
    CompactDb();
}

void frmMain::mnuEszhzd_Click() {
    const auto answer = Dialogs::input(
        this, QStringLiteral("删除期数"),
        QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"),
        QStringLiteral("1"));
    const auto count = answer ? parseWholeNumber(answer->toStdString(), 1, INT32_MAX) : std::nullopt;
    if (!count)
        return;
    const std::size_t size = m_snapshot->size();
    const std::size_t removed = std::min(size, static_cast<std::size_t>(*count));
    if (removed == 0) {
        status(QStringLiteral("没有可删除的历史号码。"));
        return;
    }
    if (!confirmRemoval(removed, QStringLiteral("将删除最后的 %1 期历史号码（第 %2 期至第 %3 期）。继续吗？")
                                     .arg(grouped(removed))
                                     .arg((*m_snapshot)[size - removed].sqqh)
                                     .arg(m_snapshot->last()->sqqh)))
        return;
    if (!requireStore())
        return;
    BusyCursor busy;
    const QString what = QStringLiteral("删除最后 %1 期").arg(*count);
    auto rebuilt = changeWithUndo(*m_store, *m_snapshot, what.toStdString(), [&] {
        return deleteLastDraws(*m_store, toPath(m_dataFolder), *count, m_set.DsIni);
    });
    Dqzd(rebuilt, what);
    CompactDb();
}

void frmMain::updateUndoAction() {
    std::error_code ec;
    mnuUndo->setEnabled(m_store && std::filesystem::exists(undoFileFor(m_store->file()), ec));
}

void frmMain::mnuUndo_Click() {
    const QString title = QStringLiteral("撤销上次更改");
    if (!requireStore())
        return;
    auto backup = readUndoBackup(m_store->file());
    if (!backup) {
        Dialogs::warn(this, title, qs(backup.error().message));
        return;
    }
    if (!*backup) {
        updateUndoAction();
        return;
    }
    const QString what = qs(describeUndo(**backup));
    if (!Dialogs::confirm(this, title, QStringLiteral("将历史号码恢复为%1。继续吗？").arg(what)))
        return;
    auto restored = [&] {
        BusyCursor busy;
        auto result = undoLastChange(*m_store, *m_snapshot, **backup);
        refreshAfterImport();
        updateUndoAction();
        return result;
    }();
    if (!restored) {
        Dialogs::warn(this, title, qs(restored.error().message));
        return;
    }
    status(QStringLiteral("已撤销：恢复到%1历史号码。").arg(what));
}

void frmMain::connectHistoryActions() {
    connect(cmdRdLst, &QPushButton::clicked, this, [this] { cmdRdLst_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(mnuErase, &QAction::triggered, this, [this] { Command3_Click(); });
    connect(mnuClear, &QAction::triggered, this, [this] { mnuClear_Click(); });
    connect(mnuDlzd, &QAction::triggered, this, [this] { mnuDlzd_Click(); });
    connect(mnuEszhzd, &QAction::triggered, this, [this] { mnuEszhzd_Click(); });
    connect(mnuUndo, &QAction::triggered, this, [this] { mnuUndo_Click(); });
    connect(mnuHuice, &QAction::triggered, this, [this] { mnuHuice_Click(); });
    connect(cmdHuice, &QPushButton::clicked, this, [this] { mnuHuice_Click(); });
    connect(mnuDcls, &QAction::triggered, this, [this] { exportGrid(*m_historyModel, kHistorySheetFile); });
}

bool frmMain::gridDoubleClicked(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonDblClick)
        return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    // Anywhere on a grid, its header row included.
    const auto on = [watched](QTableView* grid) {
        return watched == grid->viewport() || watched == grid->horizontalHeader()->viewport();
    };
    if (on(MSFlexGrid1))
        exportGrid(*m_historyModel, kHistorySheetFile);
    else if (on(MSFlexGrid2))
        exportGrid(*m_matchedModel, kMatchesSheetFile);
    else if (on(MSFlexGrid3))
        exportGrid(*m_resultModel, kResultSheetFile);
    else
        return false;
    return true;
}

} // namespace brenvik::ui
