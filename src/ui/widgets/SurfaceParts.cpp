// SPDX-License-Identifier: GPL-3.0-or-later
#include "SurfaceParts.h"

#include "AppPaths.h"
#include "Platform.h"

#include <QDir>

#include <expected>

namespace brenvik::ui {

namespace {

const SurfaceParts* g_linked = nullptr;
bool g_loaded = false;

const std::expected<const SurfaceParts*, QString>& loaded() {
    static const std::expected<const SurfaceParts*, QString> parts =
        []() -> std::expected<const SurfaceParts*, QString> {
        const auto file = pluginFile(kSurfacesPluginName);
        auto table = loadPlugin(file, kSurfacesPluginEntry, kSurfacesPluginVersion);
        if (!table)
            return std::unexpected(QStringLiteral("无法载入窗口组件 %1：%2。")
                                       .arg(QDir::toNativeSeparators(fromPath(file)), qs(table.error())));
        return static_cast<const SurfaceParts*>(*table);
    }();
    g_loaded = true;
    return parts;
}

} // namespace

void provideSurfaceParts(const SurfaceParts& parts) {
    g_linked = &parts;
}

bool surfacePartsReady() {
    return g_linked || g_loaded;
}

const SurfaceParts* surfaceParts(QString* why) {
    if (g_linked)
        return g_linked;
    const auto& parts = loaded();
    if (!parts) {
        if (why)
            *why = parts.error();
        return nullptr;
    }
    return *parts;
}

} // namespace brenvik::ui
