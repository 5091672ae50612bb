// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace brenvik::ui {

// One line of plain text that gives way on a narrow window: cut at the end with "…" where it
// does not fit, never in the middle of a character, and whole in its tip and for screen readers.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_full; }
    // Whether the text is cut as it is shown now.
    bool elided() const { return text() != m_full; }

    // As wide as the whole text; it may be made as narrow as a few characters.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QString m_full;
    mutable int m_fullWidth = -1;
    mutable QFont m_measuredIn;
};

} // namespace brenvik::ui
