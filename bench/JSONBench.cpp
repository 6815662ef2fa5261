// Throughput of the JSON formatter and the region finder on the inputs that
// bench/json-bench-data.py writes (bench/json-compare runs both and the other tools).
//   build/bench/bench/JSONBench   (reads $QUENDRIL_JSON_BENCH_DATA, default build/bench/json-data)
#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/JSONRegions.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

QByteArray readInput(const char* name)
{
    const QByteArray folder = qEnvironmentVariableIsSet("QUENDRIL_JSON_BENCH_DATA")
                                  ? qgetenv("QUENDRIL_JSON_BENCH_DATA")
                                  : QByteArray(QUENDRIL_SOURCE_DIR "/build/bench/json-data");
    QFile file(QString::fromUtf8(folder + '/' + name));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s missing: run bench/json-bench-data.py %s first\n",
                     file.fileName().toUtf8().constData(), folder.constData());
        std::exit(2);
    }
    return file.readAll();
}

const QByteArray& documentBytes()
{
    static const QByteArray bytes = readInput("document.json");
    return bytes;
}

const QString& documentText()
{
    static const QString text = QString::fromUtf8(documentBytes());
    return text;
}

void setThroughput(benchmark::State& state, qsizetype inputBytes)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * inputBytes);
    state.counters["input_MB"] = double(inputBytes) / 1e6;
}

void prettyPrintText(benchmark::State& state)
{
    const QString& text = documentText();
    qsizetype outputBytes = 0;
    for (auto _ : state) {
        const auto printed = JSONFormatter::prettyPrint(text, 4);
        if (!printed)
            state.SkipWithError("the document did not print");
        outputBytes = printed ? printed->size() : 0;
        benchmark::DoNotOptimize(printed);
    }
    setThroughput(state, documentBytes().size());
    state.counters["output_units"] = double(outputBytes);
}

void prettyPrintUTF8(benchmark::State& state)
{
    const QByteArray& bytes = documentBytes();
    for (auto _ : state) {
        const auto printed = JSONFormatter::prettyPrintUTF8(bytes, 4);
        if (!printed)
            state.SkipWithError("the document did not print");
        benchmark::DoNotOptimize(printed);
    }
    setThroughput(state, bytes.size());
}

void isValidUTF8(benchmark::State& state)
{
    const QByteArray& bytes = documentBytes();
    for (auto _ : state) {
        if (!JSONFormatter::isValid(QByteArrayView(bytes)))
            state.SkipWithError("the document is not valid");
    }
    setThroughput(state, bytes.size());
}

void isValidUnits(benchmark::State& state)
{
    const QString& text = documentText();
    for (auto _ : state) {
        if (!JSONFormatter::isValid(text))
            state.SkipWithError("the document is not valid");
    }
    setThroughput(state, documentBytes().size());
}

void tokenizeUnits(benchmark::State& state)
{
    const QString& text = documentText();
    qsizetype count = 0;
    for (auto _ : state) {
        const auto tokens = JSONFormatter::tokenize(text, 0);
        if (!tokens)
            state.SkipWithError("the document did not tokenize");
        count = tokens ? tokens->size() : 0;
        benchmark::DoNotOptimize(tokens);
    }
    setThroughput(state, documentBytes().size());
    state.counters["tokens"] = double(count);
}

void findRegions(benchmark::State& state)
{
    const QByteArray bytes = readInput("sheet.txt");
    const qsizetype planted = readInput("sheet.regions").trimmed().toLongLong();
    const QString sheet = QString::fromUtf8(bytes);
    qsizetype found = 0;
    for (auto _ : state) {
        const QList<TextRange> regions = JSONRegions::find(sheet);
        found = regions.size();
        benchmark::DoNotOptimize(regions);
    }
    // Every planted value found means the search finished inside its work budget.
    if (found != planted)
        state.SkipWithError("the search stopped before finding every region");
    setThroughput(state, bytes.size());
    state.counters["regions"] = double(found);
}

} // namespace

BENCHMARK(prettyPrintText)->Unit(benchmark::kMillisecond);
BENCHMARK(prettyPrintUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(isValidUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(isValidUnits)->Unit(benchmark::kMillisecond);
BENCHMARK(tokenizeUnits)->Unit(benchmark::kMillisecond);
BENCHMARK(findRegions)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
