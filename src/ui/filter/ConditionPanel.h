// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NumberFilter.h"

#include <QWidget>

#include <array>
#include <expected>

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace brenvik::ui {

// The 缩水 conditions as grouped controls: the sum and span as typed lists, the forms and the
// odd and big counts as ticks, and a row of ten digit buttons for each digit condition.
class ConditionPanel : public QWidget {
    Q_OBJECT
public:
    explicit ConditionPanel(QWidget* parent = nullptr);

    struct Refusal {
        QLineEdit* box;
        QString text;
    };
    // The conditions as the controls stand; the box at fault when a list does not read.
    std::expected<stats::FilterConditions, Refusal> conditions() const;
    // Shows `c`, with one changed() at the end.
    void setConditions(const stats::FilterConditions& c);

    // The controls in reading order, the two buttons under them last.
    QList<QWidget*> controls() const;

signals:
    void changed();
    // 取当前检索结果: the user wants 定位 filled from the main window's tally.
    void fromSearchRequested();

private:
    QWidget* digitRow(stats::Field field, const QString& caption);

    QLineEdit* m_sum = nullptr;
    QLineEdit* m_span = nullptr;
    // Per field, one control per value: the ticks of the form, odd and big fields, the digit
    // buttons of the others; none for the typed fields.
    std::array<std::array<QAbstractButton*, 10>, stats::kFieldCount> m_values{};
    QCheckBox* m_danAll = nullptr;
    QPushButton* m_fromSearch = nullptr;
    QPushButton* m_clear = nullptr;
    QList<QWidget*> m_order;
};

} // namespace brenvik::ui
