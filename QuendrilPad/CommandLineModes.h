#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The modes that run from a terminal before any window exists. Each prints plain lines to
// standard output, nothing to standard error, and ends the process with 0 (done), 1 (partly
// failed) or 2 (could not start). None of them writes into the notes folder.
namespace CommandLineModes {

// Offers the whole argument list (the executable's path first) to the modes; no status when
// none of them matched and the application should start. "--export-plain <folder>" wins over
// "--restore-key", which wins over "--keychain-check".
[[nodiscard]] std::optional<int> run(const QStringList& arguments);

// Writes a plain copy of every sheet the key (if any) opens into `destination`, and lists the
// sheets that did not open.
[[nodiscard]] int exportPlain(const QString& destination);

// Reads a recovery key (without echo from a terminal, else one line of standard input) and puts
// it into an empty key store once it opens a sheet of the notes folder.
[[nodiscard]] int restoreKey();

// Saves, reads back and deletes a throwaway keyring item, never the real one.
[[nodiscard]] int keychainCheck();

// A leading "~" of a command-line path expanded as a shell does: "~" and "~/..." to the home
// folder, "~name/..." to that user's home when there is such a user.
[[nodiscard]] QString expandedTilde(const QString& path);

} // namespace CommandLineModes
