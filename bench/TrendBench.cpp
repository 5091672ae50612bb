// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart on screen: painting one screen of it, offscreen, and taking a new history.
#include "BenchIndex.h"
#include "TrendView.h"

#include <QImage>
#include <QScrollBar>

#include <benchmark/benchmark.h>

using namespace brenvik;
using namespace brenvik::ui;

namespace {

SearchIndexPtr sharedIndex(std::int64_t size) {
    // The benchmarks' cached index lives for the whole run; the model only needs it kept alive.
    return SearchIndexPtr(&bench::indexFor(size), [](const SearchIndex*) {});
}

stats::RowRange rangeFor(const SearchIndex& index, std::int64_t all) {
    return all ? stats::allDraws(index.size()) : stats::lastDraws(index.size());
}

void label(benchmark::State& state, const char* what) {
    const std::int64_t size = state.range(0);
    state.SetLabel(std::string(size == 0 ? "real 3D" : std::to_string(size) + " draws") + ", " + what);
}

// One screen of a 1366x768 desktop, scrolled to a new place each time, so the rows are formatted
// afresh as they are when the user drags the scroll bar.
void BM_PaintScreen(benchmark::State& state) {
    const SearchIndexPtr index = sharedIndex(state.range(0));
    TrendModel model;
    model.setHistory(index, rangeFor(*index, state.range(1)));
    TrendView view(&model);
    view.resize(1300, 700);
    view.show();
    QImage screen(view.viewport()->size(), QImage::Format_RGB32);
    const int rows = model.drawRows();
    int top = 0;
    for (auto _ : state) {
        top = (top + 997) % std::max(rows, 1);
        view.setTopRow(top);
        view.viewport()->render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
    label(state, state.range(1) ? "R = all" : "R = last 100");
}

// What a change of the history costs the chart before it paints: the table and the checkpoints.
void BM_NewHistory(benchmark::State& state) {
    const SearchIndexPtr index = sharedIndex(state.range(0));
    TrendModel model;
    for (auto _ : state) {
        model.setHistory(index, rangeFor(*index, 1));
        benchmark::DoNotOptimize(model.table().sum[0].count);
    }
    label(state, "R = all");
}

} // namespace

BENCHMARK(BM_PaintScreen)->ArgsProduct({{0, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewHistory)->Arg(0)->Arg(1000000)->Unit(benchmark::kMillisecond);
