// SPDX-License-Identifier: GPL-3.0-or-later
// 缩水: the kept numbers of a set of conditions, their record over the real 3D history and over a
// million draws, and the window's answer to one click on a condition.
#include "FilterRecord.h"
#include "FilterWindow.h"
#include "NumberFilter.h"
#include "SettingsStore.h"
#include "Workspace.h"

#include "BenchIndex.h"

#include <QAbstractButton>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

using namespace brenvik;
using namespace brenvik::stats;

namespace {

// Argument 0: no condition; 1: a bet list as players make one; 2: every condition with every
// value, the most work a set can ask; 3: random sets, a new one each time.
std::vector<FilterConditions> conditionSets(std::int64_t kind) {
    std::vector<FilterConditions> sets(1);
    FilterConditions& c = sets[0];
    if (kind == 1) {
        c[Field::Sum] = *parseField(Field::Sum, "10-17,20");
        c[Field::Form] = *parseField(Field::Form, "zusan,zuliu");
        c[Field::Odd] = *parseField(Field::Odd, "1-2");
        c[Field::Kill] = *parseField(Field::Kill, "0");
        c[Field::Pos1] = *parseField(Field::Pos1, "1-6");
    } else if (kind == 2) {
        for (int f = 0; f < kFieldCount; ++f)
            c.masks[static_cast<std::size_t>(f)] = (1u << (fieldInfo(static_cast<Field>(f)).high + 1)) - 1;
        c.danAll = true;
    } else if (kind == 3) {
        std::mt19937 rng(1);
        sets.resize(256);
        for (FilterConditions& s : sets)
            for (int f = 0; f < kFieldCount; ++f)
                if (rng() % 2)
                    s.masks[static_cast<std::size_t>(f)] =
                        static_cast<std::uint32_t>(rng()) &
                        ((1u << (fieldInfo(static_cast<Field>(f)).high + 1)) - 1);
    }
    return sets;
}

void BM_KeptNumbers(benchmark::State& state) {
    const auto sets = conditionSets(state.range(0));
    std::size_t i = 0;
    for (auto _ : state) {
        const NumberSet kept = keptNumbers(sets[i++ % sets.size()]);
        benchmark::DoNotOptimize(kept);
    }
    static const char* const labels[] = {"no condition", "a typical list", "every condition, every value",
                                         "random sets"};
    state.SetLabel(labels[state.range(0)]);
}

// The record over the whole history: 0 the real 3D history, otherwise that many random draws;
// bought as 直选 (0) or 组选 (1) tickets.
void BM_Record(benchmark::State& state) {
    const SearchIndex& index = bench::indexFor(state.range(0));
    const DrawDigits digits = drawDigits(index);
    const NumberSet kept = keptNumbers(conditionSets(1)[0]);
    const Ticket ticket = state.range(1) == 0 ? Ticket::Direct : Ticket::Group;
    for (auto _ : state) {
        const FilterRecord r = filterRecord(kept, digits, allDraws(index.size()), ticket);
        benchmark::DoNotOptimize(r.p);
    }
    state.SetLabel(
        (state.range(0) == 0 ? std::string("real 3D") : std::to_string(state.range(0)) + " draws") +
        (ticket == Ticket::Group ? ", 组选" : ", 直选"));
}

// A click on a 胆码 button of the window on the real 3D history: count, grid, record line and
// chart redone, as the user sees them follow.
void BM_WindowClick(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "brenvik-bench-filter";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    test::writeDatabase(folder, test::sampleDraws("fc3d-history.txt"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString((folder / "config").string()));
    ui::Workspace workspace(QString::fromStdString(folder.string()));
    workspace.open(Game::Fc3d);
    ui::SettingsStore settings;
    ui::FilterWindow window(workspace, settings, {});
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("tglDan(3)"));
    for (auto _ : state)
        button->click();
    state.counters["draws"] = static_cast<double>(workspace.history().size());
}

} // namespace

BENCHMARK(BM_KeptNumbers)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Record)->ArgsProduct({{0, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowClick)->Unit(benchmark::kMillisecond);
