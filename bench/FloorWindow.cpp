// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the window's first paint: about the least a Qt program does to show the same
// history. It reads the issues and digits of a history database with SQLite and shows them in a
// table of the window's size, scrolled to the newest draw, under Chinese column captions.
// Usage: bench-floor-window DATABASE
#include <QAbstractTableModel>
#include <QApplication>
#include <QTableView>

#include <sqlite3.h>

#include <array>
#include <vector>

namespace {

class Draws : public QAbstractTableModel {
public:
    std::vector<std::array<int, 4>> rows;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return rows[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        const char* const captions[] = {"期号", "百位", "十位", "个位"};
        return QString::fromUtf8(captions[section]);
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Draws draws;
    sqlite3* db = nullptr;
    sqlite3_stmt* q = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "SELECT SQQH, L1A, L2A, L3A FROM Lishi ORDER BY SQQH", -1, &q, nullptr) !=
            SQLITE_OK)
        return 1;
    while (sqlite3_step(q) == SQLITE_ROW)
        draws.rows.push_back({sqlite3_column_int(q, 0), sqlite3_column_int(q, 1), sqlite3_column_int(q, 2),
                              sqlite3_column_int(q, 3)});
    sqlite3_finalize(q);
    sqlite3_close(db);
    QTableView view;
    view.setModel(&draws);
    view.resize(1180, 760);
    view.scrollToBottom();
    view.show();
    return QApplication::exec();
}
