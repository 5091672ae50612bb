// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendWindow.h"

#include "AppPaths.h"
#include "Dialogs.h"
#include "ExportFile.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "Spreadsheet.h"
#include "TrendView.h"

#include <QComboBox>
#include <QDir>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include <limits>

namespace brenvik::ui {

namespace {

// Taller pictures are refused by some viewers and are better printed.
constexpr int kLargestPicture = 30000;

template <typename W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace

TrendWindow::TrendWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_model(new TrendModel(this)) {
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(QStringLiteral("走势图"));
    m_view = new TrendView(m_model, this);

    m_rangeBox = named(new QComboBox, "trendRange");
    for (int n : kLastCounts)
        m_rangeBox->addItem(QStringLiteral("最近 %1 期").arg(n));
    m_rangeBox->addItem(QStringLiteral("全部"));
    m_rangeBox->addItem(QStringLiteral("期号范围"));
    m_rangeBox->setCurrentIndex(2);
    m_startBox = named(new QLineEdit, "trendStart");
    m_endBox = named(new QLineEdit, "trendEnd");
    describe(m_rangeBox, QStringLiteral("范围"), QStringLiteral("走势图画最近若干期、全部或一段期号"));
    describe(m_startBox, QStringLiteral("起始期号"), QStringLiteral("选“期号范围”时走势图的第一期"));
    describe(m_endBox, QStringLiteral("截止期号"), QStringLiteral("选“期号范围”时走势图的最后一期"));
    for (QLineEdit* box : {m_startBox, m_endBox}) {
        box->setMaxLength(7);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("20260000")) + 12);
        box->setEnabled(false);
        connect(box, &QLineEdit::editingFinished, this, [this] {
            if (m_rangeBox->currentIndex() == kIssueChoice)
                chooseRange();
        });
    }
    // The range follows the box however its choice changes: the list, the keys, a screen reader.
    connect(m_rangeBox, &QComboBox::currentIndexChanged, this, [this] {
        const bool issues = m_rangeBox->currentIndex() == kIssueChoice;
        m_startBox->setEnabled(issues);
        m_endBox->setEnabled(issues);
        chooseRange();
    });

    auto* save = named(new QPushButton(QStringLiteral("保存图片(&S)…")), "trendSave");
    auto* print = named(new QPushButton(QStringLiteral("打印(&P)…")), "trendPrint");
    auto* preview = named(new QPushButton(QStringLiteral("打印预览(&V)…")), "trendPreview");
    connect(save, &QPushButton::clicked, this, &TrendWindow::savePicture);
    connect(print, &QPushButton::clicked, this, &TrendWindow::printChart);
    connect(preview, &QPushButton::clicked, this, &TrendWindow::previewChart);
    connect(m_view, &TrendView::doubleClicked, this, &TrendWindow::exportSheet);

    auto* bar = new QHBoxLayout;
    auto* rangeLabel = new QLabel(QStringLiteral("范围(&R)"));
    rangeLabel->setBuddy(m_rangeBox);
    bar->addWidget(rangeLabel);
    bar->addWidget(m_rangeBox);
    bar->addWidget(m_startBox);
    auto* toLabel = new QLabel(QStringLiteral("至"));
    toLabel->setBuddy(m_endBox);
    bar->addWidget(toLabel);
    bar->addWidget(m_endBox);
    bar->addStretch();
    bar->addWidget(save);
    bar->addWidget(print);
    bar->addWidget(preview);

    m_summary = named(new QLabel, "trendSummary");
    m_summary->setWordWrap(true);
    auto* v = new QVBoxLayout(this);
    v->addLayout(bar);
    v->addWidget(m_view, 1);
    v->addWidget(m_summary);
    chainTabOrder({m_rangeBox, m_startBox, m_endBox, save, print, preview, m_view});
    // The whole width of the chart where the screen has it; it scrolls sideways on a small one.
    fitToScreen(this, QSize(m_view->sizeHint().width() + 24, 640), parent ? parent->window() : nullptr);
}

void TrendWindow::setHistory(SearchIndexPtr index, Game game, const QString& dataFolder) {
    // Where the view stood: at the newest draw, or at the issue at its top.
    const bool sameGame = m_hasHistory && game == m_game;
    const bool newest = !sameGame || m_view->showsNewest();
    const SearchIndex* old = m_model->searchIndex();
    const std::int32_t topIssue =
        !newest && old && m_model->drawRows() > 0
            ? old->issue(m_model->range().first + static_cast<std::size_t>(m_view->topRow()))
            : 0;
    m_game = game;
    m_dataFolder = dataFolder;
    m_hasHistory = true;
    setWindowTitle(QStringLiteral("走势图 — ") + qs(displayName(game)));

    QString problem;
    const stats::RowRange range = chosenRange(index.get(), &problem);
    m_model->setHistory(std::move(index), range);
    if (newest) {
        m_view->scrollToNewest();
    } else {
        // The same draw at the top when it is still there, else the first one after it.
        const std::size_t row =
            m_model->searchIndex()->rowsInRange(topIssue, std::numeric_limits<std::int32_t>::max()).first;
        m_view->setTopRow(static_cast<int>(std::max(row, range.first) - range.first));
    }
    showSummary(problem);
}

stats::RowRange TrendWindow::chosenRange(const SearchIndex* index, QString* problem) const {
    if (!index)
        return {};
    const int choice = m_rangeBox->currentIndex();
    if (choice < kAllChoice)
        return stats::lastDraws(index->size(), static_cast<std::size_t>(kLastCounts[choice]));
    if (choice == kAllChoice)
        return stats::allDraws(index->size());
    const auto start = parseIssue(m_startBox->text().trimmed().toStdString());
    const auto end = parseIssue(m_endBox->text().trimmed().toStdString());
    if (!start || !end) {
        *problem = QStringLiteral("期号范围需要两个七位期号，如 2024001 至 2024150。");
        return {};
    }
    if (*start > *end) {
        *problem = reversedRange(QStringLiteral("范围"), *start, QStringLiteral("至"), *end) +
                   QStringLiteral("，请把较早的期号放在前面。");
        return {};
    }
    const stats::RowRange range = stats::issueRange(*index, *start, *end);
    if (range.empty())
        *problem = QStringLiteral("期号 %1 至 %2 之间没有开奖号码。").arg(*start).arg(*end);
    return range;
}

void TrendWindow::chooseRange() {
    QString problem;
    m_model->setRange(chosenRange(m_model->searchIndex(), &problem));
    m_view->scrollToNewest();
    showSummary(problem);
}

void TrendWindow::showSummary(const QString& problem) {
    const SearchIndex* index = m_model->searchIndex();
    const stats::RowRange range = m_model->range();
    if (!index || index->size() == 0) {
        m_summary->setText(QStringLiteral("历史号码为空，没有走势可画。"));
        return;
    }
    if (!problem.isEmpty() || range.empty()) {
        m_summary->setText(problem);
        return;
    }
    const QString first = QString::number(index->issue(range.first));
    const QString last = QString::number(index->issue(range.last - 1));
    m_rangeLine = QStringLiteral("%1走势图：第 %2 期至第 %3 期，共 %4 期")
                      .arg(qs(displayName(m_game)), first, last)
                      .arg(range.size());
    // The issue boxes show the range in force, ready to be narrowed.
    if (m_rangeBox->currentIndex() != kIssueChoice) {
        m_startBox->setText(first);
        m_endBox->setText(last);
    }
    m_summary->setText(
        QStringLiteral("%1 第 %2 期至第 %3 期，共 %4 期。出现次数后的 ↑ 或 ↓：其95%区间不含随机概率"
                       "（偏多或偏少），其余的出现次数与随机相符；鼠标停在统计行上可见随机期望。")
            .arg(qs(displayName(m_game)), first, last)
            .arg(countText(static_cast<long long>(range.size()))));
}

void TrendWindow::exportSheet() {
    if (!m_model->searchIndex())
        return;
    if (m_model->drawRows() > kLargestSheet) {
        Dialogs::warn(
            this, QStringLiteral("导出到EXCEL"),
            QStringLiteral("范围内有 %1 期，走势图一次最多导出 %2 期到EXCEL。请选一个较小的范围再导出。")
                .arg(countText(m_model->drawRows()), countText(kLargestSheet)));
        return;
    }
    const QString title = QStringLiteral("导出到EXCEL");
    const auto place = exportPlace(this, title, m_dataFolder, qs(sheetFileName(m_game, kTrendSheetFile)));
    if (!place)
        return;
    // The range the chart shows stands above it.
    int next = -1;
    const SheetRows rows = [&](std::vector<SheetCell>& row) {
        const int r = next++;
        if (r == -1)
            row.emplace_back(m_rangeLine.toStdString());
        else if (r < m_model->sheetRowCount())
            row = m_model->sheetRow(r);
        return r < m_model->sheetRowCount();
    };
    if (!writeSheetTo(this, place->file, m_model->sheetRowCount() + 1, rows))
        return;
    tellElsewhere(this, title, *place);
    emit written(place->file);
}

QImage TrendWindow::picture(bool* whole) const {
    TrendLayout layout = m_view->layout();
    layout.colours = printedTrendColours();
    int first = 0;
    int last = m_model->drawRows();
    const bool all = layout.chartHeight(last) <= kLargestPicture;
    if (!all) {
        first = m_view->topRow();
        last = std::min(first + m_view->rowsInView(), last);
    }
    if (whole)
        *whole = all;
    QImage image(layout.width(), layout.chartHeight(last - first), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    paintTrendChart(p, layout, *m_model, first, last);
    return image;
}

void TrendWindow::savePicture() {
    const QString suggested = QDir(m_dataFolder).filePath(QStringLiteral("走势图.png"));
    QString file =
        Dialogs::saveFile(this, QStringLiteral("保存走势图"), suggested, QStringLiteral("PNG 图片 (*.png)"));
    if (file.isEmpty())
        return;
    if (!file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        file += QStringLiteral(".png");
    bool whole = true;
    QSaveFile out(file);
    const bool saved = out.open(QIODevice::WriteOnly) && picture(&whole).save(&out, "PNG") && out.commit();
    if (!saved) {
        Dialogs::warn(
            this, QStringLiteral("保存走势图"),
            QStringLiteral("图片未能保存到 %1：%2").arg(QDir::toNativeSeparators(file), out.errorString()));
        return;
    }
    if (!whole)
        Dialogs::inform(
            this, QStringLiteral("保存走势图"),
            QStringLiteral("范围内的期数太多，一张图片放不下，只保存了窗口中显示的各期；整个范围请打印。"));
    emit written(file);
}

void TrendWindow::print(QPrinter* printer) const {
    TrendLayout layout = m_view->layout();
    layout.colours = printedTrendColours();
    QPainter p(printer);
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    // The chart fills the page's width; the rows go on as many pages as they need, each under the
    // captions, and the figures follow the last row.
    const qreal scale = page.width() / static_cast<qreal>(layout.width());
    const int pageHeight = static_cast<int>(page.height() / scale);
    const int perPage = std::max((pageHeight - layout.headerHeight) / layout.rowHeight, 1);
    const int rows = m_model->drawRows();
    p.scale(scale, scale);
    for (int first = 0;; first += perPage) {
        const int last = std::min(first + perPage, rows);
        paintTrendHeader(p, layout, *m_model);
        paintTrendRows(p, layout, *m_model, first, last, layout.headerHeight);
        const int below = layout.headerHeight + (last - first) * layout.rowHeight;
        if (last == rows && below + layout.figuresHeight() <= pageHeight) {
            paintTrendFigures(p, layout, *m_model, below);
            break;
        }
        printer->newPage();
        if (last == rows) {
            paintTrendHeader(p, layout, *m_model);
            paintTrendFigures(p, layout, *m_model, layout.headerHeight);
            break;
        }
    }
}

void TrendWindow::printChart() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        print(&printer);
}

void TrendWindow::previewChart() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { print(p); });
    // Qt leaves the page box, the zoom box and the pages without names for screen readers.
    for (QLineEdit* box : dialog.findChildren<QLineEdit*>())
        if (box->accessibleName().isEmpty())
            box->setAccessibleName(qobject_cast<QComboBox*>(box->parentWidget()) ? QStringLiteral("缩放比例")
                                                                                 : QStringLiteral("页码"));
    for (QGraphicsView* pages : dialog.findChildren<QGraphicsView*>()) {
        pages->setAccessibleName(QStringLiteral("打印预览"));
        pages->viewport()->setAccessibleName(QStringLiteral("打印预览"));
    }
    dialog.exec();
}

} // namespace brenvik::ui
