// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

namespace brenvik::ui {

class SettingsStore;

// 数据来源: where the online update reads the draws, the operator's draw notices or a chart site,
// with the address of each: a mirror of the operators' feeds (empty for their own) or the chart
// site. An address is checked before anything is stored: a dialog that stays open with a message
// is better than a site that fails at the next update.
class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(SettingsStore& settings, QWidget* parent = nullptr);

    // Stores the choice and closes; keeps the dialog open, storing nothing, when the chosen
    // source's address is not one (an empty feed address is the operators' own).
    void accept() override;

private:
    SettingsStore& m_settings;
    QRadioButton* m_official = nullptr;
    QRadioButton* m_chart = nullptr;
    QLineEdit* m_feed = nullptr;
    QLineEdit* m_site = nullptr;
};

} // namespace brenvik::ui
