#pragma once

#include "Settings.h"

#include <QString>

#include <string_view>

namespace brenvik::ui {

// The per-user settings (INI format, organisation and application Brenvik3D, group IniSetting).
class SettingsStore {
public:
    SettingsValues read() const;
    void write(std::string_view key, const QString& value);
    void writeFlag(std::string_view key, bool value) { write(key, QString::fromStdString(flagText(value))); }
    void writeInt(std::string_view key, int value) { write(key, QString::number(value)); }
    // The raw stored text of a key, empty when absent.
    QString text(std::string_view key) const;

    // The chart site of the online update ("http://host:port"), empty when none or not a valid
    // site address is stored.
    QString chartHost() const;
    // Saves a site address under strZstHost in its normal form; false (and nothing saved) when
    // it is not a valid site address.
    bool setChartHost(const QString& host);
};

} // namespace brenvik::ui
