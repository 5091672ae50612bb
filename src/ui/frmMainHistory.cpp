// Feeding, exporting and trimming the history: text import and export, spreadsheets, the
// deletions with their rebuild and compaction.
#include "AppPaths.h"
#include "BusyCursor.h"
#include "Compaction.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "IssueNumber.h"
#include "SafeWrite.h"
#include "Spreadsheet.h"
#include "frmMain.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    if (!Dialogs::confirm(
            this, QStringLiteral("读入历史"),
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
    std::optional<StoredCounts> counts;
    {
        BusyCursor busy;
        auto imported = importHistoryFile(*m_store, toPath(file), m_set.DsIni);
        if (!imported) {
            Dialogs::warn(this, QStringLiteral("读入历史"), qs(imported.error().message));
            return;
        }
        counts = *imported;
        refreshAfterImport();
    }
    status(countsLine(QStringLiteral("读入 ") + QFileInfo(file).fileName(), *counts));
}

void frmMain::openWritten(const QString& file) {
    status(QStringLiteral("已写出 %1").arg(QDir::toNativeSeparators(file)));
    if (!Dialogs::openUrl(QUrl::fromLocalFile(file)))
        Dialogs::warn(
            this, QStringLiteral("打开文件"),
            QStringLiteral("文件 %1 已写出，但没有可以打开它的程序。").arg(QDir::toNativeSeparators(file)));
}

void frmMain::Command4_Click() {
    auto written = exportHistory(toPath(m_dataFolder), *m_snapshot);
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
        std::vector<std::string>& row = table.emplace_back();
        for (int c = 0; c < model.columnCount(); ++c)
            row.push_back(model.gridText(r, c).toStdString());
    }
    const QString file = QDir(m_dataFolder).filePath(QString::fromLatin1(fileName));
    {
        BusyCursor busy;
        if (auto written = writeSpreadsheet(toPath(file), table); !written) {
            Dialogs::warn(this, QStringLiteral("导出到EXCEL"), qs(written.error().message));
            return;
        }
    }
    openWritten(file);
}

void frmMain::CompactDb() {
    if (!m_store)
        return;
    auto compacted = compactAndReopen(m_store);
    if (!compacted)
        status(QStringLiteral("数据库压缩未完成，原文件保持不变：") + qs(compacted.error().message));
    if (!m_store) {
        m_databaseProblem = qs(compacted.error().message);
        Dialogs::warn(this, QStringLiteral("数据库"), m_databaseProblem);
    }
}

void frmMain::Dqzd(const Result<StoredCounts>& rebuilt, const QString& what) {
    // The history was rebuilt from the backup by the library; here the window catches up.
    AddHaoma();
    QihaoXianshi();
    reloadPattern();
    if (!rebuilt) {
        Dialogs::warn(this, what, qs(rebuilt.error().message));
        return;
    }
    status(countsLine(what, *rebuilt));
}

void frmMain::Command3_Click() {
    if (!requireStore())
        return;
    const std::int32_t issue = m_snapshot->empty() ? 0 : m_snapshot->last()->sqqh;
    auto deleted = m_store->deleteLast();
    if (!deleted)
        Dialogs::warn(this, QStringLiteral("删除最后历史"), qs(deleted.error().message));
    AddHaoma();
    reloadPattern();
    CompactDb();
    QihaoXianshi();
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    if (deleted)
        status(*deleted ? QStringLiteral("已删除第 %1 期。").arg(issue)
                        : QStringLiteral("没有可删除的历史号码。"));
}

void frmMain::mnuClear_Click() {
    if (!Dialogs::confirm(this, QStringLiteral("确认清空"), QStringLiteral("确定要清空所有的历史号码吗？")))
        return;
    const std::size_t before = m_snapshot->size();
    const bool cleared = Delrec();
    AddHaoma();
    if (cleared)
        status(QStringLiteral("已清空历史号码，删除 %1 期。").arg(before));
}

void frmMain::mnuDlzd_Click() {
    const auto answer = Dialogs::input(this, QStringLiteral("删除期数"),
                                       QStringLiteral("请输入需要删除到的期数，例如‘2014016’"),
                                       m_snapshot->empty() ? QString() : QString::number(m_lastQQH - 1));
    const auto lastKept = answer ? parseWholeNumber(answer->toStdString(), 1, INT32_MAX) : std::nullopt;
    if (!lastKept)
        return;
    if (!requireStore())
        return;
    BusyCursor busy;
    auto rebuilt =
        deleteDownTo(*m_store, toPath(m_dataFolder), static_cast<std::int32_t>(*lastKept), m_set.DsIni);
    Dqzd(rebuilt, QStringLiteral("删除到第 %1 期").arg(*lastKept));
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
    if (!requireStore())
        return;
    BusyCursor busy;
    auto rebuilt = deleteLastDraws(*m_store, toPath(m_dataFolder), *count, m_set.DsIni);
    Dqzd(rebuilt, QStringLiteral("删除最后 %1 期").arg(*count));
    CompactDb();
}

void frmMain::connectHistoryActions() {
    connect(cmdRdLst, &QPushButton::clicked, this, [this] { cmdRdLst_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(mnuErase, &QAction::triggered, this, [this] { Command3_Click(); });
    connect(mnuClear, &QAction::triggered, this, [this] { mnuClear_Click(); });
    connect(mnuDlzd, &QAction::triggered, this, [this] { mnuDlzd_Click(); });
    connect(mnuEszhzd, &QAction::triggered, this, [this] { mnuEszhzd_Click(); });
    connect(mnuDcls, &QAction::triggered, this, [this] { exportGrid(*m_historyModel, kHistorySheetFile); });
}

bool frmMain::gridDoubleClicked(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonDblClick)
        return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
        return false;
    if (watched == MSFlexGrid1->viewport())
        exportGrid(*m_historyModel, kHistorySheetFile);
    else if (watched == MSFlexGrid2->viewport())
        exportGrid(*m_matchedModel, kMatchesSheetFile);
    else if (watched == MSFlexGrid3->viewport())
        exportGrid(*m_resultModel, kResultSheetFile);
    else
        return false;
    return true;
}

} // namespace brenvik::ui
