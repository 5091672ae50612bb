// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace brenvik::ui {

class SettingsStore;

// 数据来源: where the online update reads the draws, the operator's draw notices or a chart site,
// and the chart site's address. The address is checked before anything is stored: a dialog that
// stays open with a message is better than a site that fails at the next update.
class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(SettingsStore& settings, QWidget* parent = nullptr);

    // Stores the choice and closes; keeps the dialog open, storing nothing, when the chart site
    // is chosen and its address is not one.
    void accept() override;

private:
    SettingsStore& m_settings;
    QRadioButton* m_official = nullptr;
    QRadioButton* m_chart = nullptr;
    QLineEdit* m_site = nullptr;
};

} // namespace brenvik::ui
