// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OnlineMerge.h"
#include "PageFetcher.h"
#include "Settings.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

class QEventLoop;
class QWidget;

namespace brenvik {
class HistoryStore;
class HistorySnapshot;
} // namespace brenvik

namespace brenvik::ui {

class SettingsStore;

// Fixed texts of the online update.
namespace online {
// The question asked before anything is loaded (OK and Cancel, question icon).
inline const QString kConfirmTitle = QStringLiteral("读入历史");
// clang-format off
inline const QString kConfirmText = QStringLiteral("确实要在线更新最新历史号码吗？更新可能要花费一段时间，网络不通或者我方服务器更新不及时可能都造成更新失败！");
// clang-format on
// Title of the progress dialog and of the box that shows the result.
inline const QString kTitle = QStringLiteral("历史号在线更新");
inline const QString kCancel = QStringLiteral("取消");
// Follows the sentence that names the draws the retention rule would remove (OK and Cancel).
inline const QString kRetentionQuestion = QStringLiteral("继续吗？");
// The input box that asks for the chart site.
inline const QString kHostTitle = QStringLiteral("图表站点");
inline const QString kHostPrompt =
    QStringLiteral("请输入图表站点的地址，例如 http://127.0.0.1:8080（只填协议和主机，可带端口）。"
                   "在线更新从该站点读取各年的走势图页面。");
inline const QString kHostInvalidTitle = QStringLiteral("输入有误");
inline const QString kHostInvalidText =
    QStringLiteral("站点地址须为 http:// 或 https:// 加主机名，可带端口，不能带路径或空格，请重新输入。");
} // namespace online

// Asks for the chart site until the answer is a valid site address or empty/cancelled, saves a
// valid answer under strZstHost and returns it ("http://host:port"); nothing when cancelled.
std::optional<QString> askChartHost(QWidget* parent, SettingsStore& settings, const QString& initial = {});

struct OnlineUpdateRequest {
    QString host;           // scheme and host of the chart site, as saved under strZstHost
    Game game = Game::Fc3d; // whose charts are read
    int segmentParam = 1;   // DsIni, baked into the new rows
    int yearsToKeep = 6;    // IniSerchDay
    int currentYear = 0;    // 0: this calendar year
};

struct OnlineUpdateResult {
    enum class Outcome {
        Updated,      // every year was read; the new draws, if any, are stored
        Unreachable,  // the first page could not be loaded; nothing changed
        Incomplete,   // a later page could not be loaded; the years read before it are stored
        Cancelled,    // the user stopped the update; the years read before it are stored
        NothingFound, // no page listed any issue, or an empty history found no draw; no draw added
        NotSaved,     // the database refused a change; that change did not happen
        NoHost,       // no valid chart site was given; nothing was loaded
    };

    Outcome outcome = Outcome::NoHost;
    std::vector<YearCount> years; // every year whose page was read, with the draws it added
    int added = 0;                // draws stored
    bool historyChanged = false;  // the history was written: the caller reloads it
    long long removed = 0;        // draws removed by the retention rule, with the user's consent
    int failedYear = 0;           // the year whose page failed (Unreachable, Incomplete)
    std::optional<FetchError> error;
    QString message; // one or two short sentences for the user

    bool succeeded() const { return outcome == Outcome::Updated; }
};

// Runs the online update: the retention rule (only when the user agrees to the removal it names),
// one chart page per year from the first year to fetch up to this year, the scan of each page
// and one transaction for everything found. A progress dialog (window-modal, with a Cancel
// button) shows the year being read and the draws found so far; the event loop keeps running
// while a page loads and while it is parsed, which happens on a worker thread. The window is not
// touched: the caller shows the result and, when historyChanged, reloads the history and
// refreshes itself.
class OnlineUpdater : public QObject {
    Q_OBJECT
public:
    OnlineUpdater(QWidget* parent, HistoryStore& store);

    static constexpr std::chrono::milliseconds kDefaultParseTimeout{5000};

    // Time allowed for each page, 20 s unless set.
    void setTimeout(std::chrono::milliseconds timeout) { m_fetcher.setTimeout(timeout); }
    // Time allowed for reading a loaded page; a page that takes longer is unreadable.
    void setParseTimeout(std::chrono::milliseconds timeout) { m_parseTimeout = timeout; }

    OnlineUpdateResult run(const HistorySnapshot& current, const OnlineUpdateRequest& request);

    // Stops the update as the Cancel button does.
    void cancel();

signals:
    void yearStarted(int year);
    void yearRead(int year, int added);

private:
    std::expected<std::vector<PageRow>, FetchError> readPage(const FetchedPage& page);

    QWidget* m_parent;
    HistoryStore& m_store;
    PageFetcher m_fetcher;
    std::chrono::milliseconds m_parseTimeout = kDefaultParseTimeout;
    QPointer<QEventLoop> m_parsing;
    bool m_cancelled = false;
};

// The whole update in one call, with the default time-out.
OnlineUpdateResult runOnlineUpdate(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                   const OnlineUpdateRequest& request);

} // namespace brenvik::ui
