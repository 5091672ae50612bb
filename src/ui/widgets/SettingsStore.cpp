// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsStore.h"

#include "AppPaths.h"
#include "ChartPage.h"

#include <QSettings>

#include <memory>

namespace brenvik::ui {

namespace {

std::unique_ptr<QSettings> section() {
    // The file the companion reads, named by the same function, not by Qt's own search.
    auto s = std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
    s->beginGroup(QStringLiteral("IniSetting"));
    return s;
}

QString keyOf(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

} // namespace

SettingsValues SettingsStore::read() const {
    auto s = section();
    return SettingsValues::read([&](std::string_view key) -> std::optional<std::string> {
        const QVariant v = s->value(keyOf(key));
        if (!v.isValid())
            return std::nullopt;
        return v.toString().toStdString();
    });
}

bool SettingsStore::write(std::string_view key, const QString& value) {
    auto s = section();
    s->setValue(keyOf(key), value);
    s->sync(); // written the moment the option changes, not at exit
    if (s->status() == QSettings::NoError)
        return true;
    if (m_failure)
        m_failure(s->fileName());
    return false;
}

QString SettingsStore::text(std::string_view key) const {
    return section()->value(keyOf(key)).toString();
}

QString SettingsStore::chartHost() const {
    const auto host = normalizeChartHost(text(keys::strZstHost).toStdString());
    return host ? QString::fromStdString(*host) : QString();
}

bool SettingsStore::setChartHost(const QString& host) {
    const auto checked = checkedSiteAddress(host.toStdString());
    if (!checked)
        return false;
    write(keys::strZstHost, QString::fromStdString(*checked));
    return true;
}

DrawSource SettingsStore::source() const {
    return storedSource(read());
}

QString SettingsStore::feedHost() const {
    const auto host = normalizeChartHost(text(keys::strGfHost).toStdString());
    return host ? QString::fromStdString(*host) : QString();
}

bool SettingsStore::setFeedHost(const QString& host) {
    if (host.trimmed().isEmpty())
        return write(keys::strGfHost, QString());
    const auto checked = checkedSiteAddress(host.toStdString());
    return checked && write(keys::strGfHost, QString::fromStdString(*checked));
}

} // namespace brenvik::ui
