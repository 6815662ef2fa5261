#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Where the running application lies, and so whether it can replace itself.
//
//   const UpdatePlace place = UpdatePlace::check(path, readOnly, writable);
//   if (place.kind != UpdatePlace::ok) show(*place.message());
struct UpdatePlace {
    enum Kind { ok, translocated, readOnlyVolume, folderNotWritable };
    Kind kind = ok;

    bool operator==(const UpdatePlace&) const = default;

    // translocated when the path contains "/AppTranslocation/" (whatever the volume), else
    // readOnlyVolume, else ok when the folder is writable, else folderNotWritable.
    [[nodiscard]] static UpdatePlace check(QStringView bundlePath, bool volumeIsReadOnly,
                                           bool folderIsWritable);

    // The sentence to show the user, none for ok.
    [[nodiscard]] std::optional<QString> message() const;

    // The case's name for the log, for example "readOnlyVolume".
    [[nodiscard]] const char* name() const;
};
