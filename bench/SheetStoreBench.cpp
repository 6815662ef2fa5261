#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/SheetName.h"
#include "QuendrilCore/SheetStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <map>
#include <memory>

// The sheet store's costs: scanning a large notes folder against a bare readdir loop over the
// same folder, sealing and opening against the cipher alone, reads, and durable writes.

namespace {

const QTimeZone zone("Europe/Berlin");

QTemporaryDir& root()
{
    static QTemporaryDir dir(QDir::tempPath() + u"/quendril-bench-XXXXXX");
    return dir;
}

// A folder of `count` sheets a minute apart with ~200 bytes each, made once per size.
QString folderOf(int count)
{
    static std::map<int, QString> made;
    if (auto found = made.find(count); found != made.end())
        return found->second;
    const QString folder = root().filePath(QString::number(count));
    QDir().mkpath(folder);
    const QDateTime start(QDate(2020, 1, 1), QTime(8, 0), zone);
    const QByteArray body = QByteArray("a line of a sheet\n").repeated(11);
    for (int i = 0; i < count; ++i) {
        QFile file(
            QString(folder + u'/' + SheetName::fileName(start.addSecs(qint64(i) * 61), {}, zone)));
        if (file.open(QIODevice::WriteOnly))
            file.write(body);
    }
    made[count] = folder;
    return folder;
}

void BM_ScanStore(benchmark::State& state)
{
    const SheetStore store(folderOf(int(state.range(0))), zone, SheetEncryption::off());
    for (auto _ : state) {
        const Result<QList<ScannedSheet>, SheetStoreError> sheets = store.scan();
        if (!sheets || sheets->size() != state.range(0))
            state.SkipWithError("scan lost sheets");
        benchmark::DoNotOptimize(sheets);
    }
}
BENCHMARK(BM_ScanStore)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The floor: what any listing of the folder costs, without dates, strings or sorting.
long long bareLoop(const char* folder)
{
    DIR* dir = ::opendir(folder);
    long long total = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            total += info.st_size;
    }
    ::closedir(dir);
    return total;
}

void BM_ScanBareReaddirLoop(benchmark::State& state)
{
    const QByteArray folder = QFile::encodeName(folderOf(int(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(bareLoop(folder.constData()));
    }
}
BENCHMARK(BM_ScanBareReaddirLoop)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

double threadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The two above in turn within each iteration, so that both see the same machine load and
// cache state; the ratio of their summed CPU times is the figure the goal is about.
void BM_ScanAgainstLoop(benchmark::State& state)
{
    const QString folder = folderOf(int(state.range(0)));
    const QByteArray path = QFile::encodeName(folder);
    const SheetStore store(folder, zone, SheetEncryption::off());
    double scanTime = 0;
    double loopTime = 0;
    for (auto _ : state) {
        double start = threadCpuSeconds();
        benchmark::DoNotOptimize(bareLoop(path.constData()));
        loopTime += threadCpuSeconds() - start;

        start = threadCpuSeconds();
        const Result<QList<ScannedSheet>, SheetStoreError> sheets = store.scan();
        if (!sheets || sheets->size() != state.range(0))
            state.SkipWithError("scan lost sheets");
        benchmark::DoNotOptimize(sheets);
        scanTime += threadCpuSeconds() - start;
    }
    const double iterations = double(state.iterations());
    state.counters["scan_cpu_ms"] = scanTime / iterations * 1e3;
    state.counters["loop_cpu_ms"] = loopTime / iterations * 1e3;
    state.counters["ratio"] = scanTime / loopTime;
}
BENCHMARK(BM_ScanAgainstLoop)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

const SheetCipher& benchCipher()
{
    static const SheetCipher cipher(QByteArray(32, 'b'));
    return cipher;
}

QString sheetText(qsizetype bytes)
{
    const QString line = u"Mostly ASCII notes, a JSON bit {\"k\": 1} and a word or two.\n"_qs;
    return line.repeated(bytes / line.size() + 1).left(bytes);
}

void BM_Decrypt16K(benchmark::State& state)
{
    const QByteArray file = *benchCipher().encrypt(sheetText(16384));
    for (auto _ : state) {
        Result<QString, SheetCipherError> text = benchCipher().decrypt(file);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * 16384);
}
BENCHMARK(BM_Decrypt16K);

// The cipher alone, as `openssl speed -evp aes-256-gcm` measures it: no UTF-8 check or conversion.
void BM_AesGcmOpen16K(benchmark::State& state)
{
    const QByteArray file = *benchCipher().encrypt(sheetText(16384));
    const QByteArrayView prefix = QByteArrayView(file).first(SheetCipher::prefixLength);
    const QByteArrayView box = QByteArrayView(file).sliced(SheetCipher::prefixLength);
    for (auto _ : state) {
        std::optional<QByteArray> plain = Crypto::open(benchCipher().key(), box, prefix);
        benchmark::DoNotOptimize(plain);
    }
    state.SetBytesProcessed(state.iterations() * 16384);
}
BENCHMARK(BM_AesGcmOpen16K);

void read16K(benchmark::State& state, bool encrypted)
{
    const SheetEncryption encryption =
        encrypted ? SheetEncryption::on(benchCipher()) : SheetEncryption::off();
    SheetStore store(root().path(), zone, encryption);
    const QString url =
        root().filePath(encrypted ? u"read-encrypted.txt"_qs : u"read-plain.txt"_qs);
    if (!store.write(sheetText(16384), url))
        state.SkipWithError("write failed");
    for (auto _ : state) {
        Result<SheetText, SheetStoreError> text = store.read(url);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * 16384);
}
void BM_Read16KPlain(benchmark::State& state)
{
    read16K(state, false);
}
void BM_Read16KEncrypted(benchmark::State& state)
{
    read16K(state, true);
}
BENCHMARK(BM_Read16KPlain);
BENCHMARK(BM_Read16KEncrypted);

void write4K(benchmark::State& state, bool encrypted)
{
    const SheetEncryption encryption =
        encrypted ? SheetEncryption::on(benchCipher()) : SheetEncryption::off();
    SheetStore store(root().path(), zone, encryption);
    const QString url = root().filePath(u"write.txt"_qs);
    const QString text = sheetText(4096);
    for (auto _ : state) {
        if (!store.write(text, url))
            state.SkipWithError("write failed");
    }
}
void BM_Write4KPlain(benchmark::State& state)
{
    write4K(state, false);
}
void BM_Write4KEncrypted(benchmark::State& state)
{
    write4K(state, true);
}
BENCHMARK(BM_Write4KPlain)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_Write4KEncrypted)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
