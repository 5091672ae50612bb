// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConditionPanel.h"

#include "AppPaths.h"
#include "PanelParts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace brenvik::ui {

namespace {

using stats::Field;

std::size_t at(Field f) {
    return static_cast<std::size_t>(f);
}

// "dan" -> "Dan": the part of a control's name that says which condition it belongs to.
QString capitalised(std::string_view key) {
    QString s = qs(key);
    s[0] = s[0].toUpper();
    return s;
}

template <typename W> W* accessible(W* w, const QString& name) {
    w->setAccessibleName(name);
    return w;
}

} // namespace

ConditionPanel::ConditionPanel(QWidget* parent) : QWidget(parent) {
    // A ticked digit stands out from the nine around it whatever the style draws for "checked".
    setStyleSheet(QStringLiteral("QToolButton:checked { background-color: palette(highlight); "
                                 "color: palette(highlighted-text); border: 1px solid palette(dark); }"));
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);

    auto* sumSpan = group(QStringLiteral("grpSumSpan"), QStringLiteral("和值与跨度"));
    auto* g = new QGridLayout(sumSpan);
    const auto listBox = [&](const char* name, const QString& caption, const QString& accessibleName,
                             int row) {
        auto* box = accessible(named(new QLineEdit, QLatin1String(name)), accessibleName);
        box->setPlaceholderText(QStringLiteral("不限，如 10-17,20"));
        box->setMaxLength(200);
        auto* label = new QLabel(caption);
        label->setBuddy(box);
        g->addWidget(label, row, 0);
        g->addWidget(box, row, 1);
        m_order << box;
        connect(box, &QLineEdit::textChanged, this, &ConditionPanel::changed);
        return box;
    };
    m_sum = listBox("txtSum", QStringLiteral("和值(&H)"), QStringLiteral("和值"), 0);
    m_span = listBox("txtSpan", QStringLiteral("跨度(&K)"), QStringLiteral("跨度"), 1);
    m_span->setPlaceholderText(QStringLiteral("不限，如 2-7"));
    v->addWidget(sumSpan);

    // Ticks, one per value, in the order shown; `value` is the bit each stands for.
    const auto ticks = [&](QBoxLayout* row, Field field, const char* name, const QString& what,
                           const std::vector<std::pair<int, QString>>& values) {
        for (const auto& [value, caption] : values) {
            auto* tick =
                accessible(named(new QCheckBox(caption), indexed(name, value)), what + " " + caption);
            m_values[at(field)][static_cast<std::size_t>(value)] = tick;
            row->addWidget(tick);
            m_order << tick;
            connect(tick, &QCheckBox::toggled, this, &ConditionPanel::changed);
        }
        row->addStretch();
    };
    auto* form = group(QStringLiteral("grpForm"), QStringLiteral("形态"));
    ticks(new QHBoxLayout(form), Field::Form, "chkForm", QStringLiteral("形态"),
          {{0, QStringLiteral("豹子")}, {1, QStringLiteral("组三")}, {2, QStringLiteral("组六")}});
    v->addWidget(form);

    auto* ratios = group(QStringLiteral("grpRatio"), QStringLiteral("奇偶比与大小比"));
    auto* r = new QVBoxLayout(ratios);
    for (const auto& [field, name, caption] : {std::tuple{Field::Odd, "chkOdd", QStringLiteral("奇偶比")},
                                               std::tuple{Field::Big, "chkBig", QStringLiteral("大小比")}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(caption));
        std::vector<std::pair<int, QString>> values;
        for (int k = 3; k >= 0; --k)
            values.emplace_back(k, QStringLiteral("%1:%2").arg(k).arg(3 - k));
        ticks(row, field, name, caption, values);
        r->addLayout(row);
    }
    v->addWidget(ratios);

    auto* danKill = group(QStringLiteral("grpDanKill"), QStringLiteral("胆码与杀号"));
    auto* d = new QVBoxLayout(danKill);
    d->addWidget(digitRow(Field::Dan, QStringLiteral("胆码")));
    m_danAll =
        accessible(named(new QCheckBox(QStringLiteral("胆码全部出现(&A)")), QStringLiteral("chkDanAll")),
                   QStringLiteral("胆码全部出现"));
    m_danAll->setToolTip(QStringLiteral("不勾选时，选中的胆码至少出现一个；勾选后每个都要出现"));
    m_order << m_danAll;
    connect(m_danAll, &QCheckBox::toggled, this, &ConditionPanel::changed);
    d->addWidget(m_danAll);
    d->addWidget(digitRow(Field::Kill, QStringLiteral("杀号")));
    v->addWidget(danKill);

    auto* positions = group(QStringLiteral("grpPosition"), QStringLiteral("定位与位杀"));
    auto* p = new QVBoxLayout(positions);
    for (int position = 1; position <= 3; ++position) {
        p->addWidget(digitRow(stats::positionField(position), QStringLiteral("第%1位定位").arg(position)));
        p->addWidget(
            digitRow(stats::positionKillField(position), QStringLiteral("第%1位杀号").arg(position)));
    }
    v->addWidget(positions);

    auto* buttons = new QHBoxLayout;
    m_fromSearch = accessible(
        named(new QPushButton(QStringLiteral("取当前检索结果(&Q)")), QStringLiteral("cmdFromSearch")),
        QStringLiteral("取当前检索结果"));
    m_fromSearch->setToolTip(QStringLiteral("用主窗口统计结果的前几名填入所统计位置的定位"));
    m_clear = accessible(
        named(new QPushButton(QStringLiteral("清空条件(&C)")), QStringLiteral("cmdClearConditions")),
        QStringLiteral("清空条件"));
    buttons->addWidget(m_fromSearch);
    buttons->addWidget(m_clear);
    buttons->addStretch();
    v->addLayout(buttons);
    v->addStretch();
    m_order << m_fromSearch << m_clear;
    connect(m_fromSearch, &QPushButton::clicked, this, &ConditionPanel::fromSearchRequested);
    connect(m_clear, &QPushButton::clicked, this, [this] { setConditions({}); });
}

QWidget* ConditionPanel::digitRow(Field field, const QString& caption) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    auto* label = new QLabel(caption);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("第1位定位")) + 6);
    h->addWidget(label);
    const QString name = QStringLiteral("tgl") + capitalised(stats::fieldInfo(field).key);
    const int side = fontMetrics().height() + 8;
    for (int digit = 0; digit < 10; ++digit) {
        auto* b = accessible(named(new QToolButton, indexed(name.toLatin1().constData(), digit)),
                             caption + QLatin1Char(' ') + QString::number(digit));
        b->setText(QString::number(digit));
        b->setCheckable(true);
        b->setFixedSize(side, side);
        b->setFocusPolicy(Qt::StrongFocus);
        m_values[at(field)][static_cast<std::size_t>(digit)] = b;
        h->addWidget(b);
        m_order << b;
        connect(b, &QToolButton::toggled, this, &ConditionPanel::changed);
    }
    h->addStretch();
    return row;
}

std::expected<stats::FilterConditions, ConditionPanel::Refusal> ConditionPanel::conditions() const {
    stats::FilterConditions c;
    for (const auto& [field, box] : {std::pair{Field::Sum, m_sum}, std::pair{Field::Span, m_span}}) {
        const auto mask = stats::parseField(field, box->text().toStdString());
        if (!mask)
            return std::unexpected(Refusal{box, qs(mask.error().message)});
        c[field] = *mask;
    }
    for (int f = 0; f < stats::kFieldCount; ++f)
        for (std::size_t value = 0; value < m_values[static_cast<std::size_t>(f)].size(); ++value)
            if (const QAbstractButton* b = m_values[static_cast<std::size_t>(f)][value]; b && b->isChecked())
                c.masks[static_cast<std::size_t>(f)] |= 1u << value;
    c.danAll = m_danAll->isChecked();
    return c;
}

void ConditionPanel::setConditions(const stats::FilterConditions& c) {
    {
        const QSignalBlocker blocker(this);
        m_sum->setText(qs(stats::fieldText(Field::Sum, c[Field::Sum])));
        m_span->setText(qs(stats::fieldText(Field::Span, c[Field::Span])));
        for (int f = 0; f < stats::kFieldCount; ++f)
            for (std::size_t value = 0; value < m_values[static_cast<std::size_t>(f)].size(); ++value)
                if (QAbstractButton* b = m_values[static_cast<std::size_t>(f)][value])
                    b->setChecked(c.masks[static_cast<std::size_t>(f)] >> value & 1);
        m_danAll->setChecked(c.danAll);
    }
    emit changed();
}

QList<QWidget*> ConditionPanel::controls() const {
    return m_order;
}

} // namespace brenvik::ui
