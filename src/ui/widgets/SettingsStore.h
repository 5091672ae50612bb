// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawSource.h"
#include "Settings.h"

#include <QString>

#include <functional>
#include <string_view>

namespace brenvik::ui {

// The per-user settings (INI format, organisation and application Brenvik3D, group IniSetting).
class SettingsStore {
public:
    SettingsValues read() const;
    // False when the settings file could not be written; the failure handler has been told.
    bool write(std::string_view key, const QString& value);
    bool writeFlag(std::string_view key, bool value) {
        return write(key, QString::fromStdString(flagText(value)));
    }
    bool writeInt(std::string_view key, int value) { return write(key, QString::number(value)); }
    // Told the file name whenever a setting could not be saved.
    void onWriteFailure(std::function<void(const QString& file)> handler) { m_failure = std::move(handler); }
    // The raw stored text of a key, empty when absent.
    QString text(std::string_view key) const;

    // The chart site of the online update ("http://host:port"), empty when none or not a valid
    // site address is stored.
    QString chartHost() const;
    // Saves a site address under strZstHost in its normal form; false (and nothing saved) when
    // it is not a site address a user may give (checkedSiteAddress).
    bool setChartHost(const QString& host);

    // Where the online update reads the draws (storedSource).
    DrawSource source() const;
    bool setSource(DrawSource source) { return writeInt(keys::intSjly, sourceSetting(source)); }
    // A mirror of the operators' feeds ("http://host:port"), empty for their own addresses.
    QString feedHost() const;
    // Saves it under strGfHost as setChartHost does; an empty one stands for the operators' own.
    bool setFeedHost(const QString& host);

private:
    std::function<void(const QString&)> m_failure;
};

} // namespace brenvik::ui
