// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Dialogs.h"
#include "HistoryText.h"
#include "TestFolder.h"
#include "frmMain.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace brenvik::test {

// One window test's world: its own data folder and settings file, and the dialog script.
class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    QString home() const;
    void storeDraws(const std::vector<DrawLine>& draws, int segmentParam = 1, Game game = Game::Fc3d);
    // Sets the window's clock to the second day of `year`.
    void setYear(int year);
    void setSetting(std::string_view key, const QString& value);
    QString setting(std::string_view key) const;
    bool hasSetting(std::string_view key) const;

    // Opens the window as a user would see it, shown, active and painted once (with what waits
    // for its first paint done).
    ui::frmMain& open();
    ui::frmMain& window() { return *m_window; }
    void close();

    template <typename T> T* find(const QString& name) const {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qWarning("no control named %s", qPrintable(name));
        return w;
    }

    ui::Dialogs::Script dialogs;

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ui::frmMain> m_window;
};

// True when the history holds exactly `draws`, every column derived as a history built from them
// would have it; says what differs otherwise.
bool holdsExactly(const HistorySnapshot& history, const std::vector<DrawLine>& draws, int segmentParam);

// A run of the companion `program` on a fixture's data folder and settings, while the event loop
// keeps running (a loopback server of the test answers from this thread).
struct CompanionRun {
    int exit = -1;
    QStringList out; // the lines written to the standard output
    QString err;
};
CompanionRun runCompanion(const QString& program, const WindowFixture& fixture, const QStringList& args);

// The cells of Sheet1 of a workbook as an independent reader sees them, a row per line, cells
// apart by tabs.
QStringList sheetRows(const QString& path);

// A pattern as the window's boxes show it.
inline std::array<std::optional<int>, 3> shown(int p1, int p2, int p3) {
    return {p1, p2, p3};
}

// Draws 2013001.. with the given digits.
std::vector<DrawLine> drawsFrom(std::int32_t firstIssue, const std::vector<std::array<int, 3>>& digits);

// Ten draws from 2013001 in which 1 2 3 came three times, followed by 4 5 6 and 4 7 6: at the first
// position 4 twice.
std::vector<DrawLine> smallHistory();

} // namespace brenvik::test
