// Loading, folding and searching a generated notes folder (bench/make-search-corpus.py).
//
//   QUENDRIL_SEARCH_CORPUS=/tmp/qp-search-bench/10k:/tmp/qp-search-bench/50k
//   build/bench/bench/SearchBench
//
// Each folder gets a Load benchmark (one run: load and index time, arena and resident memory
// against the corpus size), a Fold benchmark (folding throughput over its texts) and Query
// benchmarks for a rare word, a common word, two words and a quoted phrase, limit 500.
#include "QuendrilCore/NotebookIndexing.h"
#include "QuendrilCore/SearchIndex.h"
#include "QuendrilCore/SearchQuery.h"
#include "QuendrilCore/TextFolding.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

struct Corpus {
    QString folder;
    std::unique_ptr<SearchIndex> index;
    qint64 bytes = 0;
    qint64 sheets = 0;
};

std::map<QString, Corpus>& corpora()
{
    static std::map<QString, Corpus> all;
    return all;
}

double residentMegabytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// Exactly what the notebook loader does, on this thread.
void loadFolder(Corpus& corpus)
{
    const SheetStore store(corpus.folder, QTimeZone::utc(), SheetEncryption::off());
    corpus.index = std::make_unique<SearchIndex>();
    [[maybe_unused]] const auto outcome = NotebookIndexing::load(store, *corpus.index);
    corpus.sheets = corpus.index->count();
    ::malloc_trim(0);
}

qint64 corpusBytes(const QString& folder)
{
    qint64 bytes = 0;
    const SheetStore store(folder, QTimeZone::utc(), SheetEncryption::off());
    for (const ScannedSheet& sheet : store.scan().value_or(QList<ScannedSheet>{}))
        bytes += sheet.size;
    return bytes;
}

Corpus& loaded(const QString& folder)
{
    Corpus& corpus = corpora()[folder];
    if (!corpus.index) {
        corpus.folder = folder;
        loadFolder(corpus);
    }
    return corpus;
}

void loadBenchmark(benchmark::State& state, const QString& folder)
{
    for (auto _ : state) {
        Corpus& corpus = corpora()[folder];
        corpus.folder = folder;
        corpus.index.reset();
        ::malloc_trim(0);
        const double before = residentMegabytes();
        const auto start = std::chrono::steady_clock::now();
        loadFolder(corpus);
        const double after = residentMegabytes();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        corpus.bytes = corpusBytes(folder);
        const SearchIndex::StorageSize size = corpus.index->storageSize();
        const double corpusMB = double(corpus.bytes) / 1e6;
        state.counters["sheets"] = double(corpus.sheets);
        state.counters["corpus_MB"] = corpusMB;
        state.counters["arena_used_MB"] = double(size.used) / 1e6;
        state.counters["arena_capacity_MB"] = double(size.capacity) / 1e6;
        state.counters["rss_growth_MB"] = after - before;
        state.counters["rss_per_corpus"] = (after - before) / corpusMB;
    }
}

void foldBenchmark(benchmark::State& state, const QString& folder)
{
    QList<QString> texts;
    qint64 bytes = 0;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.txt")}, QDir::Files);
    for (const QFileInfo& file : files.mid(0, 5000)) {
        QFile in(file.filePath());
        if (in.open(QIODevice::ReadOnly)) {
            const QByteArray utf8 = in.readAll();
            bytes += utf8.size();
            texts.append(QString::fromUtf8(utf8));
        }
    }
    for (auto _ : state) {
        for (const QString& text : texts)
            benchmark::DoNotOptimize(TextFolding::foldToUtf8(text));
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void queryBenchmark(benchmark::State& state, const QString& folder, const QString& text)
{
    const Corpus& corpus = loaded(folder);
    const SearchQuery query(text);
    qsizetype found = 0;
    for (auto _ : state) {
        const QList<SearchResult> results = corpus.index->search(query, 500);
        found = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["results"] = double(found);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList folders =
        qEnvironmentVariable("QUENDRIL_SEARCH_CORPUS").split(u':', Qt::SkipEmptyParts);
    if (folders.isEmpty()) {
        std::fprintf(stderr,
                     "Set QUENDRIL_SEARCH_CORPUS to folders made by bench/make-search-corpus.py\n");
        return 2;
    }
    const struct {
        const char* name;
        QString query;
    } queries[] = {
        {"rare_word", QStringLiteral("zanzibarite")},
        {"common_word", QStringLiteral("coffee")},
        {"two_words", QStringLiteral("coffee morning")},
        {"quoted_phrase", QStringLiteral("\"creme brulee\"")},
    };
    for (const QString& folder : folders) {
        const std::string label = QFileInfo(folder).fileName().toStdString();
        benchmark::RegisterBenchmark(("Load/" + label).c_str(), loadBenchmark, folder)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        for (const auto& query : queries) {
            benchmark::RegisterBenchmark(("Query/" + label + "/" + query.name).c_str(),
                                         queryBenchmark, folder, query.query)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.5);
        }
        benchmark::RegisterBenchmark(("Fold/" + label).c_str(), foldBenchmark, folder)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
