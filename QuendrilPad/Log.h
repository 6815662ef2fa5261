#pragma once

#include <QString>

#include <functional>

enum class LogCategory { app, update, perf };
enum class LogLevel { notice, error };

// The application's system log: journald with our identifier, subsystem and category fields,
// syslog where journald is not running. Lines are fixed formats with their values written in.
//
//   Log::write(LogCategory::app, u"launched: notes folder " + folder);
//
// Nothing ever goes to standard error, so the command-line modes keep their output clean.
namespace Log {

using Sink = std::function<void(LogCategory, const QString& line)>;

void write(LogCategory category, const QString& line);
// The same at a chosen priority; the sink sees the line alone.
void write(LogCategory category, LogLevel level, const QString& line);

// Sends every line to `sink` instead of the system log (tests); an empty sink restores it.
void setSink(Sink sink);

[[nodiscard]] const char* categoryName(LogCategory category);

} // namespace Log
