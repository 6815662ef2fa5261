#include "QuendrilCore/AddOnRunner.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct CatScript {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("cat"));
    QByteArray encoded = QFile::encodeName(path);

    CatScript()
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\ncat\n") < 0)
            std::abort();
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
};

// The floor: the same script started with posix_spawn and reaped with waitpid, its standard
// streams on /dev/null so that cat ends at once.
double spawnAndWait(const CatScript& script)
{
    const auto start = Clock::now();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(script.encoded.constData()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, script.encoded.constData(), &actions, nullptr, argv, environ) != 0)
        std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double runCat(const CatScript& script)
{
    const auto start = Clock::now();
    const AddOnRun run = AddOnRunner::run(script.path, u"hello, world\n", AddOnRunner::timeLimit,
                                          AddOnRunner::outputLimit);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto* finished = run.as<AddOnRun::Finished>();
    if (!finished || finished->output != "hello, world\n")
        std::abort();
    return seconds;
}

// One run of a trivial add-on through the runner, timed from the call to its result, with the
// bare spawn-and-wait of the same script interleaved so both see the same machine load.
void AddOnRunnerOverhead(benchmark::State& state)
{
    const CatScript script;
    double runner = 0;
    double bare = 0;
    for (auto _ : state) {
        const double seconds = runCat(script);
        state.SetIterationTime(seconds);
        runner += seconds;
        state.PauseTiming();
        bare += spawnAndWait(script);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["runner_ms"] = runner / n * 1e3;
    state.counters["spawn_wait_ms"] = bare / n * 1e3;
    state.counters["overhead_ms"] = (runner - bare) / n * 1e3;
}
BENCHMARK(AddOnRunnerOverhead)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

BENCHMARK_MAIN();
