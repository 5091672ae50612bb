// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "OnlineMerge.h"
#include "PageFetcher.h"
#include "Settings.h"
#include "SourceReader.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

class QEventLoop;
class QProgressDialog;
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
inline const QString kConfirmText = QStringLiteral("确实要在线更新最新历史号码吗？更新可能要花费一段时间，网络不通或者数据来源暂时无法访问都可能造成更新失败！");
// clang-format on
// Title of the progress dialog and of the box that shows the result.
inline const QString kTitle = QStringLiteral("历史号在线更新");
inline const QString kCancel = QStringLiteral("取消");
// Follows the sentence that names the draws the retention rule would remove.
inline const QString kRetentionQuestion = QStringLiteral("继续吗？");
// The input box that asks for the chart site when the chart source has none.
inline const QString kHostTitle = QStringLiteral("走势图站点");
inline const QString kHostPrompt =
    QStringLiteral("请输入走势图站点的地址（只填协议和主机，可带端口），例如 http://127.0.0.1:8080。"
                   "该站点须按年提供与本程序相同版式的走势图页面，详见使用说明的“数据来源”。");
inline const QString kHostInvalidTitle = QStringLiteral("输入有误");
} // namespace online

// Asks for the chart site until the answer is a valid site address or empty/cancelled, saves a
// valid answer under strZstHost and returns it ("http://host:port"); nothing when cancelled.
std::optional<QString> askChartHost(QWidget* parent, SettingsStore& settings, const QString& initial = {});

struct OnlineUpdateRequest {
    Game game = Game::Fc3d; // whose draws are read
    DrawSource source = DrawSource::Official;
    // The chart site of the chart source; for the operator's feed a mirror whose scheme and host
    // replace the operator's, empty for the operator's own.
    QString host;
    int segmentParam = 1;                  // DsIni, baked into the new rows
    int yearsToKeep = 6;                   // IniSerchDay
    int currentYear = 0;                   // 0: the year in China now
    std::chrono::milliseconds pause{1000}; // between two requests: the operators ask for restraint
};

struct OnlineUpdateResult {
    enum class Outcome {
        Updated,   // every page was read and the new draws, if any, are stored
        Gap,       // the source lacks an issue: the new draws before it are stored
        Failed,    // a page could not be loaded or read; nothing was stored
        Cancelled, // the user stopped the update; nothing was stored
        NotSaved,  // the database refused a change; that change did not happen
        NoHost,    // the chart source has no valid site; nothing was loaded
    };

    Outcome outcome = Outcome::NoHost;
    std::vector<PageCount> pages;     // every page read, with the new draws it brought
    long long added = 0;              // draws stored
    std::int32_t newest = 0;          // the newest stored draw afterwards, 0 for none
    bool historyChanged = false;      // the history was written: the caller reloads it
    long long removed = 0;            // draws removed by the retention rule, with consent
    std::optional<std::int32_t> hole; // the issue the source lacks (Gap)
    std::vector<Conflict> conflicts;  // stored draws the source gave other digits for
    std::optional<FetchError> error;  // what the network said (Failed)
    QString message;                  // for the user

    bool succeeded() const { return outcome == Outcome::Updated; }
};

// Runs the online update: reads the source's pages newest first down to the last stored draw
// (parsing each on a worker thread while the event loop keeps running), stores the new draws in
// one transaction, and only then, when the history still holds years before those kept, asks
// whether to remove them (Cancel is the default). A progress dialog (window-modal, with a
// Cancel button that stops at once) shows the page being read and the draws found so far. The
// window is not touched: the caller shows the result and, when historyChanged, reloads the
// history and refreshes itself.
class OnlineUpdater : public QObject, private SourceTransport {
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
    // A page (a year's chart page, or a page of a feed) is asked for; it has been read.
    void readingPage(int page);
    void pageDone(int page, int added);

private:
    std::expected<SourceReply, SourceFailure> get(const SourceRequest& request) override;
    std::optional<SourceFailure> runAside(const std::function<void()>& job) override;
    void pause(std::chrono::milliseconds length) override;
    bool cancelled() const override { return m_cancelled; }
    void pageStarted(int page) override;
    void pageRead(const PageCount& count) override;
    void askRetention(OnlineUpdateResult& result, const OnlineUpdateRequest& request, QString& removal);

    QWidget* m_parent;
    HistoryStore& m_store;
    PageFetcher m_fetcher;
    std::chrono::milliseconds m_parseTimeout = kDefaultParseTimeout;
    QPointer<QEventLoop> m_waiting;
    QPointer<QProgressDialog> m_progress;
    DrawSource m_source = DrawSource::Official;
    int m_found = 0;
    bool m_cancelled = false;
    std::optional<FetchError> m_lastError;
};

// The whole update in one call, with the default time-out.
OnlineUpdateResult runOnlineUpdate(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                   const OnlineUpdateRequest& request);

} // namespace brenvik::ui
