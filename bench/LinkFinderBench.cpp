#include "QuendrilCore/LinkFinder.h"

#include <QString>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype window = 40'000;

// Prose with a link about every 300 units, some in brackets or before a full stop, and the odd
// "http" that is not a link.
QString prose(bool withLinks)
{
    const QString words[] = {u"the"_qs, u"sheet"_qs, u"saves"_qs,   u"itself"_qs, u"after"_qs,
                             u"you"_qs, u"stop"_qs,  u"typing,"_qs, u"and"_qs,    u"nothing"_qs,
                             u"is"_qs,  u"lost."_qs, u"HTTP"_qs,    u"header"_qs};
    const QString links[] = {u"https://example.org/docs/page"_qs,
                             u"(see http://w.example/Page_(film))"_qs,
                             u"http://a.example/search?q=1&r=2."_qs};
    QString s;
    for (int i = 0; s.size() < window; ++i) {
        if (withLinks && i % 40 == 39)
            s += links[(i / 40) % 3];
        else
            s += words[(i * 31) % 14];
        s += (i % 17 == 16) ? u'\n' : u' ';
    }
    return s;
}

void scan(benchmark::State& state, bool withLinks)
{
    const QString text = prose(withLinks);
    qsizetype found = 0;
    for (auto _ : state) {
        const QList<FoundLink> links = LinkFinder::links(text, {0, window});
        found = links.size();
        benchmark::DoNotOptimize(links.constData());
    }
    state.counters["links"] = double(found);
    state.SetBytesProcessed(state.iterations() * window * 2);
}

void BM_LinksInProseWithLinks(benchmark::State& s)
{
    scan(s, true);
}
void BM_LinksInProseWithout(benchmark::State& s)
{
    scan(s, false);
}

} // namespace

BENCHMARK(BM_LinksInProseWithLinks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LinksInProseWithout)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
