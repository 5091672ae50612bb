// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelParts.h"

#include "AppPaths.h"
#include "Dialogs.h"
#include "ExportFile.h"
#include "GridModels.h"
#include "IssueNumber.h"
#include "Spreadsheet.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QValidator>

#include <memory>
#include <utility>

namespace brenvik::ui {

namespace {

// A grid that never shows part of a row at its top: its viewport holds whole rows, and what is
// left over stays blank below them. Scrolled to its end, the rows then line up with the top.
class WholeRowsView : public QTableView {
protected:
    void updateGeometries() override {
        // Setting the margins resizes the viewport, which comes back here.
        if (m_trimming)
            return;
        m_trimming = true;
        // A grid scrolled to its newest rows stays there when the window settles or is resized.
        QScrollBar* bar = verticalScrollBar();
        const bool atEnd = bar->maximum() > 0 && bar->value() == bar->maximum();
        QTableView::updateGeometries();
        if (atEnd)
            bar->setValue(bar->maximum());
        QHeaderView* rows = verticalHeader();
        const int row = rows->defaultSectionSize();
        const QMargins m = viewportMargins();
        if (row > 0)
            setViewportMargins(m.left(), m.top(), m.right(), viewport()->height() % row);
        // The hidden rows' header decides where the last row sits when the grid is scrolled to
        // its end: it takes the trimmed height too.
        rows->setGeometry(rows->x(), rows->y(), rows->width(), viewport()->height());
        rows->viewport()->resize(rows->viewport()->width(), viewport()->height());
        if (bar->maximum() > 0 && bar->value() == bar->maximum())
            rows->setOffsetToLastSection();
        m_trimming = false;
    }

private:
    bool m_trimming = false;
};

// What typing lets into the manual pattern boxes, pasted text included: a minus sign and digits,
// six characters at most (a 16-bit whole number).
class PatternCharacters : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const auto kept = [](QString s) {
            s.removeIf([](QChar c) {
                return c != QLatin1Char('-') && (c < QLatin1Char('0') || c > QLatin1Char('9'));
            });
            return s;
        };
        pos = static_cast<int>(std::min<qsizetype>(kept(input.left(pos)).size(), 6));
        input = kept(input).left(6);
        return Acceptable;
    }
};

// Wrapped text that takes the lines its width needs without making the whole window trade
// height for width: a scroll area would otherwise size the columns by their preferred heights.
class WrappedLabel : public QLabel {
public:
    explicit WrappedLabel(const QString& text) : QLabel(text) {
        setWordWrap(true);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override { return {QLabel::sizeHint().width(), linesHeight()}; }
    QSize minimumSizeHint() const override { return {QLabel::minimumSizeHint().width(), linesHeight()}; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (event->oldSize().width() != width())
            updateGeometry();
    }

private:
    // Laid out once per text, font and width: layouts ask for it many times while the window
    // settles.
    int linesHeight() const {
        const int w = width() > 0 ? width() : QLabel::sizeHint().width();
        if (w != m_width || text() != m_text || font() != m_font) {
            m_width = w;
            m_text = text();
            m_font = font();
            m_height = heightForWidth(w);
        }
        return m_height;
    }
    mutable int m_width = -1;
    mutable int m_height = 0;
    mutable QString m_text;
    mutable QFont m_font;
};

} // namespace

void onChosen(QAbstractButton* button, QObject* context, std::function<void()> act) {
    // A click on an unchecked option checks it first: the click then finds it chosen already.
    auto justChosen = std::make_shared<bool>(false);
    QObject::connect(button, &QAbstractButton::toggled, context, [act, justChosen](bool on) {
        if (!on)
            return;
        *justChosen = true;
        act();
        // A toggle of the program's own is followed by no click.
        QTimer::singleShot(0, [justChosen] { *justChosen = false; });
    });
    QObject::connect(button, &QAbstractButton::clicked, context, [act, justChosen] {
        if (!std::exchange(*justChosen, false))
            act();
    });
}

QString indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QRadioButton* radio(const char* name, int index, const QString& caption) {
    return named(new QRadioButton(caption), indexed(name, index));
}

QGroupBox* group(const QString& name, const QString& title) {
    return named(new QGroupBox(title), name);
}

QString sentence(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || QStringLiteral("。！？…；").contains(t.back()) ||
        (t.size() > 1 && QStringLiteral("”）」").contains(t.back()) && t[t.size() - 2] == QChar(u'。')))
        return t;
    return t + QStringLiteral("。");
}

QString countText(long long count) {
    return QString::fromStdString(groupedCount(count));
}

int twips(int t) {
    return t / 15 + t / 100;
}

void describe(QWidget* w, const QString& name, const QString& description) {
    w->setAccessibleName(name);
    if (!description.isEmpty())
        w->setAccessibleDescription(description);
}

void chainTabOrder(const QList<QWidget*>& controls) {
    for (qsizetype i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

void fitToScreen(QWidget* window, const QSize& designed, const QWidget* over) {
    const QScreen* screen = over ? over->screen() : window->screen();
    const QRect area = screen->availableGeometry();
    // Before it is shown a window has no frame yet: its title bar and borders are taken to be
    // those of the window it goes over, or a common allowance.
    const QSize decorations =
        over && over->isVisible() ? over->frameGeometry().size() - over->geometry().size() : QSize(16, 40);
    const QSize room = area.size() - decorations;
    const QSize size = designed.expandedTo(window->minimumSizeHint()).boundedTo(room);
    window->resize(size);
    QRect frame(QPoint(), size + decorations);
    frame.moveCenter(over ? over->geometry().center() : area.center());
    frame.moveLeft(
        std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
    frame.moveTop(
        std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() - frame.height() + 1)));
    window->move(frame.topLeft());
}

QTableView* grid(const QString& name, QAbstractItemModel* model, bool wholeRows) {
    QTableView* view = named(wholeRows ? new WholeRowsView : new QTableView, name);
    view->setModel(model);
    view->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Tab leaves the grid for the next control; the arrow keys move within it.
    view->setTabKeyNavigation(false);
    return view;
}

QLineEdit* smallBox(const QString& name, int chars) {
    auto* e = named(new QLineEdit, name);
    e->setAlignment(Qt::AlignCenter);
    const int w = e->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 14;
    e->setFixedWidth(w);
    return e;
}

QLabel* wrappedLabel(const QString& name, const QString& text) {
    return named(new WrappedLabel(text), name);
}

void acceptPatternCharacters(QLineEdit* box) {
    box->setValidator(new PatternCharacters(box));
}

QString reversedRange(const QString& startCaption, std::int32_t start, const QString& endCaption,
                      std::int32_t end) {
    return QStringLiteral("“%1”的 %2 在“%3”的 %4 之后").arg(startCaption).arg(start).arg(endCaption).arg(end);
}

QString openWritten(QWidget* parent, const QString& file) {
    const QString line = QStringLiteral("已写出 %1").arg(QDir::toNativeSeparators(file));
    if (!Dialogs::openUrl(QUrl::fromLocalFile(file))) {
        const QFileInfo written(file);
        Dialogs::warn(parent, QStringLiteral("打开文件"),
                      QStringLiteral("文件 %1 已写到文件夹 %2 中，但本机没有可以打开它的程序。")
                          .arg(written.fileName(), QDir::toNativeSeparators(written.absolutePath())));
    }
    return line;
}

namespace {

class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QObject* parent, std::function<void()> act) : QObject(parent), m_act(std::move(act)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            m_act();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_act;
};

} // namespace

void exportOnDoubleClick(QTableView* grid, std::function<void()> exportIt) {
    auto* filter = new DoubleClickFilter(grid, std::move(exportIt));
    grid->viewport()->installEventFilter(filter);
    grid->horizontalHeader()->viewport()->installEventFilter(filter);
}

QString exportGrid(QWidget* parent, const QString& dataFolder, Game game, const GridModel& model,
                   const char* fileName, const QString& title) {
    // The rows are made one at a time as the writer asks for them: the title, the grid with its
    // header row, then a blank row and what the grid says under itself.
    std::vector<std::string> above;
    if (!title.isEmpty())
        above.push_back(title.toStdString());
    std::vector<std::string> below;
    if (const QStringList notes = model.notes(); !notes.isEmpty()) {
        below.emplace_back();
        for (const QString& note : notes)
            below.push_back(note.toStdString());
    }
    const long long gridRows = model.gridRowCount();
    const long long total = static_cast<long long>(above.size() + below.size()) + gridRows;
    long long next = 0;
    const SheetRows rows = [&](std::vector<SheetCell>& row) {
        const long long r = next++;
        if (r >= total)
            return false;
        const auto line = [&row](const std::string& text) {
            if (!text.empty())
                row.emplace_back(text);
        };
        const auto aboveCount = static_cast<long long>(above.size());
        if (r < aboveCount)
            line(above[static_cast<std::size_t>(r)]);
        else if (r < aboveCount + gridRows)
            for (int c = 0; c < model.columnCount(); ++c)
                row.push_back(model.sheetCell(static_cast<int>(r - aboveCount), c));
        else
            line(below[static_cast<std::size_t>(r - aboveCount - gridRows)]);
        return true;
    };
    return exportSpreadsheet(parent, dataFolder, QString::fromStdString(sheetFileName(game, fileName)), total,
                             rows);
}

} // namespace brenvik::ui
