// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace brenvik::ui {

class ResultGridModel;

// The line under the result grid that says how its tally compares with chance, with a "?" link
// to the manual's explanation. It follows the grid's model and wraps on a narrow window.
class TallyVerdict : public QLabel {
    Q_OBJECT
public:
    explicit TallyVerdict(const ResultGridModel* model, QWidget* parent = nullptr);

    // The verdict as plain text, without the link.
    QString verdict() const { return m_verdict; }

    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The "?" link was followed.
    void explanationWanted();

protected:
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void follow();
    int linesHeight() const;

    const ResultGridModel* m_model;
    QString m_verdict;
};

} // namespace brenvik::ui
