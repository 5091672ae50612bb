// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExportFile.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Dialogs.h"
#include "HistoryExport.h"
#include "PanelParts.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace brenvik::ui {

namespace {

const QString kSheetTitle = QStringLiteral("导出到EXCEL");

QString filterFor(const QString& name) {
    const QString suffix = QFileInfo(name).suffix();
    if (suffix.compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Excel 工作簿 (*.xlsx)");
    if (suffix.compare(QStringLiteral("txt"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("文本文件 (*.txt)");
    return QStringLiteral("*.%1").arg(suffix);
}

} // namespace

std::optional<ExportPlace> exportPlace(QWidget* parent, const QString& title, const QString& dataFolder,
                                       const QString& name) {
    if (canWriteInto(toPath(dataFolder)))
        return ExportPlace{QDir(dataFolder).filePath(name), false};
    // Every export would fail in a folder that cannot be written: the user says where instead.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString file = Dialogs::saveFile(parent, title, QDir(documents).filePath(name), filterFor(name));
    if (file.isEmpty())
        return std::nullopt;
    const QString suffix = QLatin1Char('.') + QFileInfo(name).suffix();
    if (!file.endsWith(suffix, Qt::CaseInsensitive))
        file += suffix;
    return ExportPlace{file, true};
}

bool writeExport(QWidget* parent, const QString& title, const QString& file, const QString& label,
                 const std::function<Result<void>(OutputFile&, const Progress&)>& write) {
    // A grid's file is never written over the history it was made from, nor over the program's
    // other files, however a link in its place leads there.
    if (const auto folder = dataFolder())
        if (const auto own = ownFileTarget(toPath(file), toPath(*folder))) {
            Dialogs::warn(parent, title, qs(own->message));
            return false;
        }
    std::optional<BusyCursor> busy(std::in_place);
    Dialogs::Progress progress(parent, title, label);
    auto out = OutputFile::open(toPath(file));
    const Result<void> written =
        out ? write(*out, progress.tracker()) : Result<void>(std::unexpected(out.error()));
    busy.reset();
    if (!written && written.error().code != ErrorCode::Cancelled)
        Dialogs::warn(parent, title, qs(written.error().message));
    return written.has_value();
}

bool writeSheetTo(QWidget* parent, const QString& file, long long rowCount, const SheetRows& rows) {
    return writeExport(parent, kSheetTitle, file, QStringLiteral("已写出 %1 / %2 行"),
                       [&](OutputFile& out, const Progress& progress) {
                           return writeSpreadsheet(out, rows, rowCount, progress);
                       });
}

void tellElsewhere(QWidget* parent, const QString& title, const ExportPlace& place) {
    if (place.elsewhere)
        Dialogs::inform(
            parent, title,
            QStringLiteral("数据文件夹不能写入，文件已写到 %1。").arg(QDir::toNativeSeparators(place.file)));
}

QString exportSpreadsheet(QWidget* parent, const QString& dataFolder, const QString& name, long long rowCount,
                          const SheetRows& rows) {
    const auto place = exportPlace(parent, kSheetTitle, dataFolder, name);
    if (!place || !writeSheetTo(parent, place->file, rowCount, rows))
        return {};
    tellElsewhere(parent, kSheetTitle, *place);
    return openWritten(parent, place->file);
}

} // namespace brenvik::ui
