#pragma once

#include <QStringList>

#include <optional>

// The modes that run from a terminal before any window exists. Each prints plain lines to
// standard output and ends the process with 0 (done), 1 (partly failed) or 2 (could not start).
namespace CommandLineModes {

// Offers the whole argument list (the executable's path first) to the modes; no status when
// none of them matched and the application should start.
[[nodiscard]] std::optional<int> run(const QStringList& arguments);

} // namespace CommandLineModes
