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
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>

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

void describe(OnlineUpdateResult& r, const UpdatePlan& plan, bool heldBack) {
    using O = OnlineUpdateResult::Outcome;
    const QString unchanged = heldBack ? QStringLiteral("保留年数内的历史号码须全部读完才会替换原有历史号码，"
                                                        "原有历史号码未改动。")
                                       : QStringLiteral("历史号码未改动。");
    const QString stored = r.added > 0 ? QStringLiteral("已保存：%1。").arg(yearList(r.years)) : unchanged;
    switch (r.outcome) {
    case O::Updated:
        if (r.added == 0)
            r.message = QStringLiteral("没有新的开奖号码，历史号码已是最新。");
        else if (r.cleared)
            r.message =
                QStringLiteral("历史号码早于保留的年数，已改为 %1 年至 %2 年的开奖号码，共 %3 期：%4。")
                    .arg(plan.firstYear)
                    .arg(plan.lastYear)
                    .arg(r.added)
                    .arg(yearList(r.years));
        else
            r.message = QStringLiteral("在线更新完成，新增 %1 期：%2。").arg(r.added).arg(yearList(r.years));
        break;
    case O::Unreachable:
        r.message = QStringLiteral("无法读取图表站点（%1），历史号码未改动。").arg(r.error->reason);
        break;
    case O::Incomplete:
        r.message = QStringLiteral("读取 %1 年的走势图失败（%2），更新未完成。")
                        .arg(r.failedYear)
                        .arg(r.error->reason) +
                    stored;
        break;
    case O::Cancelled:
        r.message =
            QStringLiteral("在线更新已取消。") +
            (r.added > 0 ? QStringLiteral("取消前读完的年份已保存：%1。").arg(yearList(r.years)) : unchanged);
        break;
    case O::NothingFound:
        r.message = QStringLiteral("图表站点上没有找到 %1 年至 %2 年的开奖号码，历史号码未改动。")
                        .arg(plan.firstYear)
                        .arg(plan.lastYear);
        break;
    case O::NotSaved:
    case O::NoHost:
        break;
    }
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
    OnlineMerge merge(current, year, request.yearsToKeep, request.segmentParam);
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
            const QUrl url(QString::fromStdString(chartPageAddress(*host, request.lotteryType, y)));
            auto page = m_fetcher.get(url);
            if (!page) {
                if (page.error().kind == FetchError::Kind::Cancelled || m_cancelled) {
                    m_cancelled = true;
                    break;
                }
                result.error = page.error();
                result.failedYear = y;
                break;
            }
            const auto text = pageText(std::string_view(page->body.constData(), page->body.size()),
                                       page->charset.toStdString());
            if (!text) {
                result.error =
                    FetchError{FetchError::Kind::TooLarge, 0, QString::fromStdString(text.error().message)};
                result.failedYear = y;
                break;
            }
            const int added = merge.addPage(y, *text);
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
        ((plan.clear && merge.rows().empty()) || merge.pagesListingIssues() == 0))
        result.outcome = O::NothingFound;

    const auto written = merge.commit(m_store, allRead);
    if (!written) {
        result.outcome = O::NotSaved;
        result.message =
            QStringLiteral("新的开奖号码保存失败，历史号码未改动：%1").arg(qs(written.error().message));
        for (YearCount& y : result.years)
            y.added = 0;
        return result;
    }
    result.historyChanged = *written;
    result.cleared = *written && merge.replacesStoredDraws();
    if (result.historyChanged)
        result.added = static_cast<int>(merge.rows().size());
    else
        for (YearCount& y : result.years)
            y.added = 0;
    describe(result, plan, !result.historyChanged && merge.replacesStoredDraws() && !merge.rows().empty());
    return result;
}

OnlineUpdateResult runOnlineUpdate(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                   const OnlineUpdateRequest& request) {
    OnlineUpdater updater(parent, store);
    return updater.run(current, request);
}

} // namespace brenvik::ui
