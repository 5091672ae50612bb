// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

namespace brenvik::ui {

// A one-digit entry box: a typed digit replaces whatever the box held, Backspace and Delete
// empty it, every other key is ignored. An empty box shows the prompt "_".
class DigitBox : public QLineEdit {
    Q_OBJECT
public:
    explicit DigitBox(QWidget* parent = nullptr);

    // The digit held, or -1 when the box is empty.
    int digit() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // A key was typed into the box, before the box changes.
    void keyTyped();
    // The box lost the keyboard focus to another control of the window.
    void focusLost();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace brenvik::ui
