// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStatusBar>

namespace brenvik::ui {

class ElidedLabel;

// The window's status bar. Its messages (showMessage) are shown by a label of their own beside the
// permanent labels, never under them: a message too long for the room it has is cut at the end
// with "…" and kept whole in the label's tip.
class StatusLine : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    ElidedLabel* messageLabel() const { return m_message; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ElidedLabel* m_message;
};

} // namespace brenvik::ui
