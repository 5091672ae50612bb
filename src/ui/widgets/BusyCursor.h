// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>

namespace brenvik::ui {

// The wait cursor for as long as a long operation runs.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace brenvik::ui
