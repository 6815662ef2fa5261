#pragma once

#include <QString>

#include <optional>

// The self-contained application folder that updates replace as a whole:
//
//   Quendril Pad.app/
//     Contents/Info.plist                      XML property list: identifier, build, version,
//                                              minimum glibc, update feed and key
//     Contents/bin/quendril-pad                the executable (its RUNPATH is $ORIGIN/../lib)
//     Contents/bin/qt.conf                     points Qt at the folder's own plugins
//     Contents/lib/                            the libraries it needs beyond the C library
//     Contents/plugins/                        Qt plugins
//     Contents/share/                          desktop entry and icon
//     Contents/_CodeSignature/CodeResources    the signed manifest of every other file
//
// A build installed elsewhere (for example into /usr) has no Info.plist beside it, and so no
// updater.
namespace AppFolder {

inline constexpr char fileName[] = "Quendril Pad.app";
inline constexpr char bundleIdentifier[] = "local.quendrilpad";
inline constexpr char infoPlist[] = "Contents/Info.plist";
inline constexpr char executable[] = "Contents/bin/quendril-pad";

// The application folder holding `executablePath` at its designed place, if it is one: a folder
// whose name ends in ".app" with a Contents/Info.plist.
[[nodiscard]] std::optional<QString> containing(const QString& executablePath);

} // namespace AppFolder
