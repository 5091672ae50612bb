// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleTableInterface>
#include <QAccessibleWidget>
#include <QHash>

namespace brenvik::ui {

class TrendView;

// The trend chart as screen readers take it: a table with a row per draw and per figure, the
// chart's columns as its columns, the captions as column headers and the issue as row header.
// A cell says what the chart draws there ("开出" for a ball, "遗漏 5" for an omission).
class TrendAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TrendAccessible(TrendView* view);
    ~TrendAccessible() override;

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    // Row -1 holds the column headers.
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    TrendView* view() const;
    // What a cell says: its caption for row -1.
    QString cellText(int row, int column) const;

private:
    void forgetCells();

    // The cells handed out so far, kept until the model changes: the accessibility layer holds
    // them by id.
    mutable QHash<qint64, QAccessible::Id> m_cells;
};

} // namespace brenvik::ui
