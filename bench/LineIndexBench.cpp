#include "QuendrilCore/LineIndex.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

constexpr int lineCount = 200'000;

// 200,000 lines of 30 to 69 units each, about 10 million units.
const QString& sheet()
{
    static const QString text = [] {
        QString s;
        for (int i = 0; i < lineCount; ++i) {
            s += QString(30 + (i * 7919) % 40, QChar(u'a' + i % 26));
            s += u'\n';
        }
        return s;
    }();
    return text;
}

// One character typed at the fraction `where` of the text and then deleted again, so the index
// stays valid for the next iteration: each iteration is two updates.
void typeCharacter(benchmark::State& state, double where, QChar typed)
{
    const QString& without = sheet();
    const qsizetype at = qsizetype(double(without.size()) * where);
    QString with = without;
    with.insert(at, typed);
    LineIndex index(without);
    for (auto _ : state) {
        index.update({at, 1}, 1, with);
        index.update({at, 0}, -1, without);
        benchmark::DoNotOptimize(&index);
    }
    if (index != LineIndex(without))
        state.SkipWithError("the index went wrong");
    state.SetItemsProcessed(state.iterations() * 2);
}

void BM_UpdateTypedAtStart(benchmark::State& s)
{
    typeCharacter(s, 0.0, u'x');
}
void BM_UpdateTypedInMiddle(benchmark::State& s)
{
    typeCharacter(s, 0.5, u'x');
}
void BM_UpdateTypedAtEnd(benchmark::State& s)
{
    typeCharacter(s, 0.999, u'x');
}
void BM_UpdateNewlineInMiddle(benchmark::State& s)
{
    typeCharacter(s, 0.5, u'\n');
}

// The worst case for the pending shift: characters typed and deleted in turn at the two ends of
// the text, so that every update rewrites the entries in between (about 200,000).
void BM_UpdateAlternatingEnds(benchmark::State& state)
{
    const QString& without = sheet();
    const qsizetype near = 5, far = without.size() - 5;
    QString nearWith = without;
    nearWith.insert(near, u'x');
    QString bothWith = nearWith;
    bothWith.insert(far + 1, u'x');
    QString farWith = without;
    farWith.insert(far, u'x');
    LineIndex index(without);
    for (auto _ : state) {
        index.update({near, 1}, 1, nearWith);
        index.update({far + 1, 1}, 1, bothWith);
        index.update({near, 0}, -1, farWith);
        index.update({far, 0}, -1, without);
        benchmark::DoNotOptimize(&index);
    }
    if (index != LineIndex(without))
        state.SkipWithError("the index went wrong");
    state.SetItemsProcessed(state.iterations() * 4);
}

void BM_Rebuild(benchmark::State& state)
{
    LineIndex index;
    for (auto _ : state) {
        index.rebuild(sheet());
        benchmark::DoNotOptimize(&index);
    }
}

} // namespace

BENCHMARK(BM_UpdateTypedAtStart)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateTypedInMiddle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateTypedAtEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateNewlineInMiddle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdateAlternatingEnds)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
