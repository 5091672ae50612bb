// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineUpdate.h"

#include "AppPaths.h"
#include "ChartPage.h"
#include "Dialogs.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "PageText.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QDate>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace brenvik::ui {

namespace {

QString yearList(const std::vector<YearCount>& years) {
    QStringList parts;
    for (const YearCount& y : years)
        parts << QStringLiteral("%1年 %2 期").arg(y.year).arg(y.added);
    return parts.join(QStringLiteral("，"));
}

QString progressText(int year, int index, int count, int found) {
    return QStringLiteral("正在读取 %1 年的走势图（%2/%3）……\n已找到新开奖号码 %4 期")
        .arg(year)
        .arg(index)
        .arg(count)
        .arg(found);
}

// The pointer shows that the program is busy, yet the Cancel button stays clickable.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

void describe(OnlineUpdateResult& r, const UpdatePlan& plan, const QString& removal) {
    using O = OnlineUpdateResult::Outcome;
    const bool removed = r.removed > 0;
    const QString unchanged =
        removed ? QStringLiteral("没有新增开奖号码。") : QStringLiteral("历史号码未改动。");
    const QString stored = r.added > 0 ? QStringLiteral("已保存：%1。").arg(yearList(r.years)) : unchanged;
    QString text;
    switch (r.outcome) {
    case O::Updated:
        if (r.added == 0)
            text = QStringLiteral("没有新的开奖号码，历史号码已是最新。");
        else
            text = QStringLiteral("在线更新完成，新增 %1 期：%2。").arg(r.added).arg(yearList(r.years));
        break;
    case O::Unreachable:
        text = QStringLiteral("无法读取图表站点（%1），").arg(r.error->reason) + unchanged;
        break;
    case O::Incomplete:
        text = QStringLiteral("读取 %1 年的走势图失败（%2），更新未完成。")
                   .arg(r.failedYear)
                   .arg(r.error->reason) +
               stored;
        break;
    case O::Cancelled:
        text =
            QStringLiteral("在线更新已取消。") +
            (r.added > 0 ? QStringLiteral("取消前读完的年份已保存：%1。").arg(yearList(r.years)) : unchanged);
        break;
    case O::NothingFound:
        text = QStringLiteral("图表站点上没有找到 %1 年至 %2 年的开奖号码，")
                   .arg(plan.firstYear)
                   .arg(plan.lastYear) +
               unchanged;
        break;
    case O::NotSaved:
    case O::NoHost:
        text = r.message;
        break;
    }
    r.message = removal + text;
}

} // namespace

std::optional<QString> askChartHost(QWidget* parent, SettingsStore& settings, const QString& initial) {
    QString text = initial;
    for (;;) {
        const auto answer = Dialogs::input(parent, online::kHostTitle, online::kHostPrompt, text);
        if (!answer || answer->trimmed().isEmpty())
            return std::nullopt;
        if (settings.setChartHost(*answer))
            return settings.chartHost();
        Dialogs::warn(parent, online::kHostInvalidTitle, online::kHostInvalidText);
        text = *answer;
    }
}

OnlineUpdater::OnlineUpdater(QWidget* parent, HistoryStore& store)
    : QObject(parent), m_parent(parent), m_store(store) {}

void OnlineUpdater::cancel() {
    m_cancelled = true;
    m_fetcher.cancel();
    if (m_parsing)
        m_parsing->quit();
}

std::expected<std::vector<PageRow>, FetchError> OnlineUpdater::readPage(const FetchedPage& page) {
    // The worker owns copies of what it reads: a page given up on is parsed to its end on its
    // own, and its result is dropped with the future.
    QFuture<Result<std::vector<PageRow>>> parsed =
        QtConcurrent::run([body = page.body, charset = page.charset.toStdString()] {
            return pageRows(std::string_view(body.constData(), body.size()), charset);
        });
    QEventLoop loop;
    QFutureWatcher<Result<std::vector<PageRow>>> watcher;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(parsed);
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(m_parseTimeout);
    m_parsing = &loop;
    if (!parsed.isFinished() && !m_cancelled)
        loop.exec();
    m_parsing = nullptr;

    if (m_cancelled)
        return std::unexpected(FetchError{FetchError::Kind::Cancelled, 0, QStringLiteral("已取消")});
    if (!parsed.isFinished())
        return std::unexpected(FetchError{FetchError::Kind::Unreadable, 0, QStringLiteral("网页无法读取")});
    Result<std::vector<PageRow>> rows = parsed.result();
    if (!rows)
        return std::unexpected(
            FetchError{FetchError::Kind::TooLarge, 0, QString::fromStdString(rows.error().message)});
    return std::move(*rows);
}

OnlineUpdateResult OnlineUpdater::run(const HistorySnapshot& current, const OnlineUpdateRequest& request) {
    using O = OnlineUpdateResult::Outcome;
    OnlineUpdateResult result;
    const auto host = normalizeChartHost(request.host.toStdString());
    if (!host) {
        result.outcome = O::NoHost;
        result.message = QStringLiteral("尚未设置图表站点（或地址无效），未进行在线更新。");
        return result;
    }
    const int year = request.currentYear > 0 ? request.currentYear : QDate::currentDate().year();

    // The retention rule removes only what the user agrees to, and before anything is loaded: a
    // page that fails later never takes back a removal, nor does it make one.
    const HistorySnapshot* history = &current;
    SnapshotPtr trimmed;
    QString removal;
    if (const auto cut = retentionCut(current, year, request.yearsToKeep);
        cut && Dialogs::confirm(m_parent, online::kTitle,
                                QString::fromStdString(retentionNotice(*cut)) + online::kRetentionQuestion)) {
        if (const auto removed = removeYearsBefore(m_store, current, *cut, request.segmentParam); !removed) {
            result.outcome = O::NotSaved;
            result.message = QStringLiteral("删除早于保留年数的历史号码失败，历史号码未改动：%1")
                                 .arg(qs(removed.error().message));
            return result;
        }
        result.historyChanged = true;
        result.removed = cut->draws;
        removal = QString::fromStdString(retentionDone(*cut));
        auto reloaded = m_store.loadSnapshot();
        if (!reloaded) {
            result.outcome = O::NotSaved;
            result.message =
                removal +
                QStringLiteral("历史号码无法重新读取，未进行在线更新：%1").arg(qs(reloaded.error().message));
            return result;
        }
        trimmed = std::move(*reloaded);
        history = trimmed.get();
    }

    OnlineMerge merge(*history, year, request.yearsToKeep, request.segmentParam);
    const UpdatePlan& plan = merge.plan();
    m_cancelled = false;

    // The dialog blocks the window it belongs to, so no other operation can start on the
    // history while pages load, yet the window still repaints.
    QPointer<QProgressDialog> progress = new QProgressDialog(m_parent);
    progress->setWindowTitle(online::kTitle);
    progress->setCancelButtonText(online::kCancel);
    progress->setRange(0, std::max(plan.yearCount(), 1));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setWindowModality(Qt::WindowModal);
    progress->setLabelText(progressText(plan.firstYear, 1, plan.yearCount(), 0));
    connect(progress, &QProgressDialog::canceled, this, &OnlineUpdater::cancel);
    progress->show();

    int read = 0;
    int found = 0;
    {
        BusyPointer busy;
        for (int y = plan.firstYear; y <= plan.lastYear && !m_cancelled; ++y) {
            if (progress)
                progress->setLabelText(progressText(y, read + 1, plan.yearCount(), found));
            emit yearStarted(y);
            const QUrl url(QString::fromStdString(chartPageAddress(*host, request.game, y)));
            const auto page = m_fetcher.get(url);
            const auto rows = page ? readPage(*page) : std::unexpected(page.error());
            if (!rows) {
                if (rows.error().kind == FetchError::Kind::Cancelled || m_cancelled) {
                    m_cancelled = true;
                    break;
                }
                result.error = rows.error();
                result.failedYear = y;
                break;
            }
            const int added = merge.addPage(y, *rows);
            found += added;
            ++read;
            emit yearRead(y, added);
            if (progress) {
                progress->setLabelText(progressText(y, read, plan.yearCount(), found));
                progress->setValue(read);
            }
        }
    }
    delete progress.data();

    // A Cancel that came after the last page was read stops nothing.
    const bool allRead = read == plan.yearCount();
    result.years = merge.years();
    if (allRead)
        result.outcome = O::Updated;
    else if (result.error)
        result.outcome = read == 0 ? O::Unreachable : O::Incomplete;
    else
        result.outcome = O::Cancelled;

    // Pages that list no issue of their year at all are no chart pages (a wrong site, a changed
    // page): that is no success, even when the history asked for nothing new.
    if (allRead && plan.yearCount() > 0 &&
        ((merge.startedEmpty() && merge.draws().empty()) || merge.pagesListingIssues() == 0))
        result.outcome = O::NothingFound;

    const auto written = merge.commit(m_store);
    if (!written) {
        result.outcome = O::NotSaved;
        result.message = (result.removed > 0 ? QStringLiteral("新的开奖号码保存失败：%1")
                                             : QStringLiteral("新的开奖号码保存失败，历史号码未改动：%1"))
                             .arg(qs(written.error().message));
        for (YearCount& y : result.years)
            y.added = 0;
        describe(result, plan, removal);
        return result;
    }
    result.historyChanged = result.historyChanged || *written;
    if (*written)
        result.added = static_cast<int>(merge.draws().size());
    else
        for (YearCount& y : result.years)
            y.added = 0;
    describe(result, plan, removal);
    return result;
}

OnlineUpdateResult runOnlineUpdate(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                   const OnlineUpdateRequest& request) {
    OnlineUpdater updater(parent, store);
    return updater.run(current, request);
}

} // namespace brenvik::ui
