// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrendAccessible.h"

#include "TrendView.h"

#include <QPointer>

namespace brenvik::ui {

namespace {

class TrendCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    TrendCell(TrendView* view, int row, int column) : m_view(view), m_row(row), m_column(column) {}

    bool isValid() const override {
        return m_view && m_row < m_view->model().rowCount() && m_column < TrendModel::kColumns;
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return table()->cellText(m_row, m_column);
        if (t == QAccessible::Description && m_row >= 0 && m_column > TrendModel::kIssueColumn)
            return table()->columnDescription(m_column) + QStringLiteral("，") +
                   table()->rowDescription(m_row);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = m_view->cellRect(m_row, m_column);
        return r.isEmpty() ? QRect() : QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = true;
        s.invisible = !isValid();
        s.offscreen = rect().isEmpty();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    bool isSelected() const override { return false; }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        return m_row < 0 ? QList<QAccessibleInterface*>() : QList{table()->cellAt(-1, m_column)};
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        return m_row < 0 || m_column == TrendModel::kIssueColumn
                   ? QList<QAccessibleInterface*>()
                   : QList{table()->cellAt(m_row, TrendModel::kIssueColumn)};
    }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    TrendAccessible* table() const override {
        return static_cast<TrendAccessible*>(QAccessible::queryAccessibleInterface(m_view));
    }

private:
    QPointer<TrendView> m_view;
    int m_row;
    int m_column;
};

} // namespace

TrendAccessible::TrendAccessible(TrendView* view) : QAccessibleWidget(view, QAccessible::Table) {}

TrendAccessible::~TrendAccessible() {
    forgetCells();
}

TrendView* TrendAccessible::view() const {
    return static_cast<TrendView*>(widget());
}

void* TrendAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int TrendAccessible::rowCount() const {
    return view()->model().rowCount();
}

int TrendAccessible::columnCount() const {
    return TrendModel::kColumns;
}

// The column headers come first, then the cells row by row.
int TrendAccessible::childCount() const {
    return (rowCount() + 1) * columnCount();
}

QAccessibleInterface* TrendAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    return cellAt(index / columnCount() - 1, index % columnCount());
}

int TrendAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    if (!cell || child->parent() != this)
        return -1;
    return (cell->rowIndex() + 1) * columnCount() + cell->columnIndex();
}

QAccessibleInterface* TrendAccessible::childAt(int x, int y) const {
    const QPoint at = view()->viewport()->mapFromGlobal(QPoint(x, y));
    for (int row = -1; row < rowCount(); ++row) {
        // Only the rows in view have a place on the screen.
        if (row >= 0 && row < view()->model().drawRows() &&
            (row < view()->topRow() || row >= view()->topRow() + view()->rowsInView()))
            continue;
        for (int column = 0; column < columnCount(); ++column)
            if (view()->cellRect(row, column).contains(at))
                return cellAt(row, column);
    }
    return nullptr;
}

QAccessibleInterface* TrendAccessible::cellAt(int row, int column) const {
    if (row < -1 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    const qint64 key = (static_cast<qint64>(row) + 1) * columnCount() + column;
    if (const auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto* cell = new TrendCell(view(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QString TrendAccessible::columnDescription(int column) const {
    const QString caption = view()->model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const QString group = TrendModel::groupCaption(column);
    return group.isEmpty() ? caption : group + QLatin1Char(' ') + caption;
}

QString TrendAccessible::rowDescription(int row) const {
    return view()->model().index(row, TrendModel::kIssueColumn).data().toString();
}

QString TrendAccessible::cellText(int row, int column) const {
    if (row < 0)
        return columnDescription(column);
    const TrendModel& model = view()->model();
    const QModelIndex index = model.index(row, column);
    const QString shown = index.data().toString();
    if (row >= model.drawRows() || TrendModel::positionOf(column) < 0)
        return shown;
    return index.data(TrendModel::BallRole).toInt() > 0 ? QStringLiteral("开出")
                                                        : QStringLiteral("遗漏 %1").arg(shown);
}

void TrendAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
    forgetCells();
}

void TrendAccessible::forgetCells() {
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

} // namespace brenvik::ui
