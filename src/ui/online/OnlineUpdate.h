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
// The question after the sentence that names the draws the retention rule would remove, and
// its answers; keeping them this time is the default.
inline const QString kRetentionQuestion = QStringLiteral("要删除吗？");
inline const QString kRemove = QStringLiteral("删除");
inline const QString kKeepThisTime = QStringLiteral("这次保留");
inline const QString kKeepAlways = QStringLiteral("总是保留");
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
    int yearsToKeep = kKeepAllYears;       // IniSerchDay
    int currentYear = 0;                   // 0: the year in China now
    std::chrono::milliseconds pause{1000}; // between two requests: the operators ask for restraint
    // The history shipped with the program (shippedHistory), which an empty history starts from
    // and which gives the issues the source lacks.
    std::vector<DrawLine> shipped = {};
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
    std::optional<std::int32_t> hole; // the issue no source has (Gap)
    std::vector<Conflict> conflicts;  // stored draws the source gave other digits for
    std::optional<FetchError> error;  // what the network said (Failed)
    QString message;                  // for the user

    bool succeeded() const { return outcome == Outcome::Updated; }
    // Whether the draws read were stored: the years before those kept may be offered for removal.
    bool stored() const { return outcome == Outcome::Updated || outcome == Outcome::Gap; }
};

// Runs the online update: reads the source's pages newest first down to the last stored draw
// (parsing each on a worker thread while the event loop keeps running) and stores the new draws
// in one transaction. A progress dialog (window-modal, with a Cancel button that stops at once)
// shows the page being read and the draws found so far. The window is not touched: the caller
// reloads the history when historyChanged, refreshes itself, offers the removal of old years
// (offerRetention) and shows the result.
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

// What came of the question about the years before those kept.
struct RetentionOutcome {
    bool asked = false;
    long long removed = 0; // draws removed
    QString message;       // the line for the result, empty when there is nothing to say
};

// Once the new draws are in and shown: when the history still holds years before those kept
// (IniSerchDay), asks whether to remove them, with three answers: 删除, 这次保留 (the default),
// 总是保留 (every year is kept from then on). Keeping them this time is remembered (strBlJj), so
// the question comes again only once the setting changes or a new year in China begins.
RetentionOutcome offerRetention(QWidget* parent, SettingsStore& settings, HistoryStore& store,
                                int currentYear, int segmentParam);

} // namespace brenvik::ui
