// SPDX-License-Identifier: GPL-3.0-or-later
#include "OnlineUpdate.h"

#include "AppPaths.h"
#include "ChartPage.h"
#include "Clock.h"
#include "Dialogs.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace brenvik::ui {

namespace {

// The pointer shows that the program is busy, yet the Cancel button stays clickable.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

QString newestText(std::int32_t newest) {
    return newest != 0 ? QString::number(newest) : QStringLiteral("无");
}

QString outcomeText(const OnlineUpdateResult& r, DrawSource source) {
    using O = OnlineUpdateResult::Outcome;
    if (r.outcome == O::Updated && r.added == 0)
        return QStringLiteral("没有新的开奖号码，历史号码已是最新（最新一期 %1）。")
            .arg(newestText(r.newest));
    if (r.outcome == O::Updated)
        return QStringLiteral("在线更新完成（%1），新增 %2 期，最新一期 %3。")
            .arg(qs(sourceName(source)), countText(r.added))
            .arg(newestText(r.newest));
    return QStringLiteral("在线更新未完成（%1），新增 %2 期，最新一期 %3。")
        .arg(qs(sourceName(source)), countText(r.added))
        .arg(newestText(r.newest));
}

} // namespace

std::optional<QString> askChartHost(QWidget* parent, SettingsStore& settings, const QString& initial) {
    QString text = initial;
    for (;;) {
        const auto answer = Dialogs::input(parent, online::kHostTitle, online::kHostPrompt, text);
        if (!answer || answer->trimmed().isEmpty())
            return std::nullopt;
        const auto checked = checkedSiteAddress(answer->toStdString());
        if (checked && settings.setChartHost(qs(*checked)))
            return settings.chartHost();
        if (!checked)
            Dialogs::warn(parent, online::kHostInvalidTitle, qs(checked.error().message));
        text = *answer;
    }
}

OnlineUpdater::OnlineUpdater(QWidget* parent, HistoryStore& store)
    : QObject(parent), m_parent(parent), m_store(store) {}

void OnlineUpdater::cancel() {
    m_cancelled = true;
    m_fetcher.cancel();
    if (m_waiting)
        m_waiting->quit();
}

std::expected<SourceReply, SourceFailure> OnlineUpdater::get(const SourceRequest& request) {
    auto page =
        m_fetcher.get(QUrl(QString::fromStdString(request.url)), QByteArray::fromStdString(request.referer));
    if (!page) {
        m_lastError = page.error();
        return std::unexpected(SourceFailure{page.error().reason.toStdString(), page.error().httpStatus,
                                             page.error().kind == FetchError::Kind::Cancelled});
    }
    return SourceReply{page->body.toStdString(), page->charset.toStdString()};
}

std::optional<SourceFailure> OnlineUpdater::runAside(const std::function<void()>& job) {
    // A page given up on is read to its end on its own: the job owns what it reads and writes.
    QFuture<void> reading = QtConcurrent::run([job] { job(); });
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(reading);
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(m_parseTimeout);
    m_waiting = &loop;
    if (!reading.isFinished() && !m_cancelled)
        loop.exec();
    m_waiting = nullptr;
    if (m_cancelled)
        return SourceFailure{"已取消", 0, true};
    if (!reading.isFinished()) {
        m_lastError = FetchError{FetchError::Kind::Unreadable, 0, QStringLiteral("网页无法读取")};
        return SourceFailure{"网页无法读取"};
    }
    return std::nullopt;
}

void OnlineUpdater::pause(std::chrono::milliseconds length) {
    if (length.count() <= 0 || m_cancelled)
        return;
    QEventLoop loop;
    QTimer::singleShot(length, &loop, &QEventLoop::quit);
    m_waiting = &loop;
    loop.exec();
    m_waiting = nullptr;
}

void OnlineUpdater::pageStarted(int page) {
    if (m_progress)
        m_progress->setLabelText(
            (m_source == DrawSource::Chart
                 ? QStringLiteral("正在读取 %1 年的走势图……").arg(page)
                 : QStringLiteral("正在从%1读取第 %2 页……").arg(qs(sourceName(m_source))).arg(page)) +
            QStringLiteral("\n已找到新开奖号码 %1 期").arg(countText(m_found)));
    emit readingPage(page);
}

void OnlineUpdater::pageRead(const PageCount& count) {
    m_found += count.added;
    if (m_progress && m_progress->maximum() > 0)
        m_progress->setValue(m_progress->value() + 1);
    emit pageDone(count.page, count.added);
}

OnlineUpdateResult OnlineUpdater::run(const HistorySnapshot& current, const OnlineUpdateRequest& request) {
    using O = OnlineUpdateResult::Outcome;
    OnlineUpdateResult result;
    ReadRequest read;
    read.game = request.game;
    read.source = request.source;
    read.pause = request.pause;
    read.currentYear = request.currentYear > 0 ? request.currentYear : chinaYear(now());
    const auto host = normalizeChartHost(request.host.toStdString());
    if (request.source == DrawSource::Chart && !host) {
        result.outcome = O::NoHost;
        result.message = QStringLiteral("尚未设置走势图站点（或地址无效），未进行在线更新。");
        return result;
    }
    read.host = host.value_or("");

    OnlineMerge merge(current, read.currentYear, request.yearsToKeep, request.segmentParam, request.shipped);
    m_source = request.source;
    m_cancelled = false;
    m_found = 0;
    m_lastError.reset();

    // The dialog blocks the window it belongs to, so no other operation can start on the
    // history while pages load, yet the window still repaints.
    m_progress = new QProgressDialog(m_parent);
    m_progress->setWindowTitle(online::kTitle);
    m_progress->setCancelButtonText(online::kCancel);
    // The years of the chart pages are known; how many pages a feed takes is not.
    const int years = std::max(read.currentYear, merge.lastKnown() / 1000) - merge.firstChartYear() + 1;
    m_progress->setRange(0, request.source == DrawSource::Chart ? std::max(years, 1) : 0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setLabelText(QStringLiteral("正在连接%1……").arg(qs(sourceName(request.source))));
    connect(m_progress, &QProgressDialog::canceled, this, &OnlineUpdater::cancel);
    m_progress->show();

    SourceRead outcome;
    {
        BusyPointer busy;
        outcome = readSource(merge, read, *this);
    }
    delete m_progress.data();
    result.pages = merge.pages();

    if (outcome.status != SourceRead::Status::Read) {
        result.outcome = outcome.status == SourceRead::Status::Cancelled ? O::Cancelled : O::Failed;
        if (result.outcome == O::Failed)
            result.error = m_lastError;
        result.message = qs(outcome.message);
        return result;
    }
    const auto stored = storeRead(m_store, merge, now());
    if (!stored) {
        result.outcome = O::NotSaved;
        result.message =
            QStringLiteral("新的开奖号码保存失败，历史号码未改动：%1").arg(qs(stored.error().message));
        return result;
    }
    result.outcome = stored->complete ? O::Updated : O::Gap;
    result.hole = merge.outcome().hole;
    result.conflicts = merge.conflicts();
    result.added = stored->added;
    result.newest = stored->newest;
    result.historyChanged = stored->added > 0;
    QStringList lines{outcomeText(result, request.source)};
    for (const std::string& note : stored->notes)
        lines << qs(note);
    result.message = lines.join(QLatin1Char('\n'));
    return result;
}

RetentionOutcome offerRetention(QWidget* parent, SettingsStore& settings, HistoryStore& store,
                                int currentYear, int segmentParam) {
    RetentionOutcome outcome;
    const int years = settings.read().IniSerchDay;
    const auto history = store.loadSnapshot();
    if (!history)
        return outcome;
    const auto cut = retentionCut(**history, currentYear, years);
    const QString declined = QStringLiteral("%1 %2").arg(years).arg(currentYear);
    if (!cut || settings.text(keys::strBlJj) == declined)
        return outcome;
    outcome.asked = true;
    const int answer =
        Dialogs::choice(parent, online::kTitle, qs(retentionNotice(*cut)) + online::kRetentionQuestion,
                        {online::kRemove, online::kKeepThisTime, online::kKeepAlways}, 1);
    if (answer == 1) {
        settings.write(keys::strBlJj, declined);
        return outcome;
    }
    if (answer == 2) {
        settings.writeInt(keys::IniSerchDay, kKeepAllYears);
        outcome.message = QStringLiteral("保留年数已改为全部保留，今后不再询问。");
        return outcome;
    }
    if (const auto removed = removeYearsBefore(store, **history, *cut, segmentParam); !removed) {
        outcome.message = QStringLiteral("删除早于保留年数的历史号码失败，早年的历史号码未改动：%1")
                              .arg(qs(removed.error().message));
        return outcome;
    }
    outcome.removed = cut->draws;
    outcome.message = qs(retentionDone(*cut));
    return outcome;
}

OnlineUpdateResult runOnlineUpdate(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                   const OnlineUpdateRequest& request) {
    OnlineUpdater updater(parent, store);
    return updater.run(current, request);
}

} // namespace brenvik::ui
