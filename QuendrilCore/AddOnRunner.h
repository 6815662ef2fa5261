#pragma once

#include "QuendrilCore/AddOnRun.h"

#include <QString>
#include <QStringView>

// Runs one add-on script as a child process with the user's text on its standard input.
//
// The script runs by its own path with no arguments, in its own folder, in a new process group,
// with default signal actions, an empty signal mask, only descriptors 0 to 2 open, and
// "$HOME/.local/bin:/usr/local/bin:" in front of PATH. The limits apply to the whole group, so
// whatever the script starts is stopped with it.
namespace AddOnRunner {

// Longest run, in seconds, before the process group is stopped.
inline constexpr double timeLimit = 5.0;
// Most bytes of standard output accepted.
inline constexpr qsizetype outputLimit = 10'000'000;

// Runs the executable at `url` with `input` as UTF-8 on its standard input and blocks the
// calling thread until it ends: at most `limitSeconds`, plus 1 second for SIGTERM to work and
// 1 second for descendants that hold the pipes open. Past the time limit the group gets
// SIGTERM, then SIGKILL; past `limitBytes` of output it gets SIGKILL at once. An add-on that
// does not read its input is harmless (no SIGPIPE reaches the application). Safe to call from
// several threads at once.
[[nodiscard]] AddOnRun run(const QString& url, QStringView input, double limitSeconds,
                           qsizetype limitBytes);

} // namespace AddOnRunner
