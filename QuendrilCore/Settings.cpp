#include "QuendrilCore/Settings.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

// Each reader leaves the field alone for a missing or null member and reports a wrong type.
bool readString(const QJsonObject& object, QLatin1StringView key, QString& field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    field = value.toString();
    return true;
}

bool readDouble(const QJsonObject& object, QLatin1StringView key, double& field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble())
        return false;
    field = value.toDouble();
    return true;
}

bool readInt(const QJsonObject& object, QLatin1StringView key, int& field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return false;
    field = static_cast<int>(number);
    return true;
}

bool readBool(const QJsonObject& object, QLatin1StringView key, bool& field)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isBool())
        return false;
    field = value.toBool();
    return true;
}

double roundedPoints(double fontSize)
{
    return std::round(fontSize); // halves away from zero
}

} // namespace

Result<Settings, SettingsError> Settings::decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return unexpected(SettingsError::notJSON);
    if (!document.isObject())
        return unexpected(SettingsError::notAnObject);
    const QJsonObject object = document.object();

    Settings settings;
    const bool ok =
        readString(object, QLatin1StringView("notes_folder"), settings.notesFolder) &&
        readString(object, QLatin1StringView("global_shortcut"), settings.globalShortcut) &&
        readString(object, QLatin1StringView("new_sheet_shortcut"), settings.newSheetShortcut) &&
        readString(object, QLatin1StringView("font_face"), settings.fontFace) &&
        readDouble(object, QLatin1StringView("font_size"), settings.fontSize) &&
        readString(object, QLatin1StringView("theme"), settings.theme) &&
        readInt(object, QLatin1StringView("tab_size"), settings.tabSize) &&
        readBool(object, QLatin1StringView("line_numbers"), settings.lineNumbers) &&
        readBool(object, QLatin1StringView("word_wrap"), settings.wordWrap) &&
        readBool(object, QLatin1StringView("start_at_login"), settings.startAtLogin) &&
        readInt(object, QLatin1StringView("close_tabs_after_days"), settings.closeTabsAfterDays) &&
        readBool(object, QLatin1StringView("update_automatically"), settings.updateAutomatically);
    if (!ok)
        return unexpected(SettingsError::wrongType);
    return settings;
}

QByteArray Settings::encodedPretty() const
{
    // JSON has no spelling for NaN or infinity.
    if (!std::isfinite(fontSize))
        return QByteArrayLiteral("{}");
    // QJsonObject keeps its members sorted by key and never escapes "/".
    QJsonObject object{
        {QLatin1StringView("notes_folder"), notesFolder},
        {QLatin1StringView("global_shortcut"), globalShortcut},
        {QLatin1StringView("new_sheet_shortcut"), newSheetShortcut},
        {QLatin1StringView("font_face"), fontFace},
        {QLatin1StringView("font_size"), fontSize},
        {QLatin1StringView("theme"), theme},
        {QLatin1StringView("tab_size"), tabSize},
        {QLatin1StringView("line_numbers"), lineNumbers},
        {QLatin1StringView("word_wrap"), wordWrap},
        {QLatin1StringView("start_at_login"), startAtLogin},
        {QLatin1StringView("close_tabs_after_days"), closeTabsAfterDays},
        {QLatin1StringView("update_automatically"), updateAutomatically},
    };
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    while (bytes.endsWith('\n'))
        bytes.chop(1);
    return bytes;
}

QString Settings::notesFolderURL(const QString& home) const
{
    QString path;
    if (notesFolder == u"~")
        path = home;
    else if (notesFolder.startsWith(u"~/"))
        path = QString(home + u'/' + QStringView(notesFolder).mid(2));
    else
        path = QDir::current().absoluteFilePath(notesFolder);
    // A folder is named without its trailing slashes, as every other path here is.
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

double Settings::biggerFontSize(double fontSize)
{
    return std::min(roundedPoints(fontSize) + 1, 36.0);
}

double Settings::smallerFontSize(double fontSize)
{
    return std::max(roundedPoints(fontSize) - 1, 9.0);
}
