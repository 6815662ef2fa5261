#include "QuendrilCore/AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

// JSON numbers that are whole and fit: what "integer" means for the file's integer keys.
std::optional<qint64> integer(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number || std::fabs(number) > 9.0e15)
        return std::nullopt;
    return qint64(number);
}

bool isAbsent(const QJsonValue& value)
{
    return value.isUndefined() || value.isNull();
}

// Missing or null is absent; anything but a string is a bad file.
bool optionalString(const QJsonObject& object, QLatin1StringView key, std::optional<QString>& out)
{
    const QJsonValue value = object.value(key);
    if (isAbsent(value))
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

std::optional<TabState> decodeTab(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TabState tab;
    const auto caret = integer(object.value(QLatin1StringView("caret")));
    const QJsonValue scrollY = object.value(QLatin1StringView("scrollY"));
    if (!caret || !scrollY.isDouble())
        return std::nullopt;
    tab.caret = *caret;
    tab.scrollY = scrollY.toDouble();

    const QJsonValue pinned = object.value(QLatin1StringView("pinned"));
    if (!isAbsent(pinned)) {
        if (!pinned.isBool())
            return std::nullopt;
        tab.pinned = pinned.toBool();
    }
    if (!optionalString(object, QLatin1StringView("path"), tab.path) ||
        !optionalString(object, QLatin1StringView("lastUsed"), tab.lastUsed))
        return std::nullopt;
    return tab;
}

} // namespace

std::optional<AppState> AppState::decode(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    AppState state;
    const QJsonValue tabs = object.value(QLatin1StringView("tabs"));
    const auto activeIndex = integer(object.value(QLatin1StringView("activeIndex")));
    if (!tabs.isArray() || !activeIndex)
        return std::nullopt;
    for (const QJsonValue& value : tabs.toArray()) {
        const auto tab = decodeTab(value);
        if (!tab)
            return std::nullopt;
        state.tabs.append(*tab);
    }
    state.activeIndex = *activeIndex;

    const QJsonValue days = object.value(QLatin1StringView("writingDays"));
    if (!isAbsent(days)) {
        if (!days.isArray())
            return std::nullopt;
        for (const QJsonValue& day : days.toArray()) {
            if (!day.isString())
                return std::nullopt;
            state.writingDays.append(day.toString());
        }
    }
    if (!optionalString(object, QLatin1StringView("windowFrame"), state.windowFrame) ||
        !optionalString(object, QLatin1StringView("quickNoteSize"), state.quickNoteSize))
        return std::nullopt;
    return state;
}

std::optional<AppState> AppState::load(const QString& url)
{
    QFile file(url);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll());
}

QByteArray AppState::encoded() const
{
    // QJsonObject keeps its keys sorted, which gives the file its sorted order at every level.
    QJsonArray tabArray;
    for (const TabState& tab : tabs) {
        QJsonObject object;
        object.insert(QLatin1StringView("caret"), tab.caret);
        object.insert(QLatin1StringView("scrollY"), tab.scrollY);
        object.insert(QLatin1StringView("pinned"), tab.pinned);
        if (tab.path)
            object.insert(QLatin1StringView("path"), *tab.path);
        if (tab.lastUsed)
            object.insert(QLatin1StringView("lastUsed"), *tab.lastUsed);
        tabArray.append(object);
    }
    QJsonObject object;
    object.insert(QLatin1StringView("tabs"), tabArray);
    object.insert(QLatin1StringView("activeIndex"), activeIndex);
    object.insert(QLatin1StringView("writingDays"), QJsonArray::fromStringList(writingDays));
    if (windowFrame)
        object.insert(QLatin1StringView("windowFrame"), *windowFrame);
    if (quickNoteSize)
        object.insert(QLatin1StringView("quickNoteSize"), *quickNoteSize);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

Result<void, AppStateError> AppState::save(const QString& url) const
{
    if (!QDir().mkpath(QFileInfo(url).absolutePath()))
        return unexpected(AppStateError::folderNotCreated);
    QSaveFile file(url);
    const QByteArray bytes = encoded();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return unexpected(AppStateError::writeFailed);
    return {};
}

AppState AppState::restored(const std::function<bool(const QString& path)>& fileExists,
                            const QString& today) const
{
    AppState result = *this;
    result.tabs.clear();
    qint64 front = 0;
    for (qsizetype former = 0; former < tabs.size(); ++former) {
        const TabState& tab = tabs[former];
        if (!tab.path || !fileExists(*tab.path))
            continue;
        TabState kept = tab;
        if (!kept.lastUsed)
            kept.lastUsed = today;
        if (former <= activeIndex)
            front = result.tabs.size();
        result.tabs.append(kept);
    }
    if (result.tabs.isEmpty()) {
        result.tabs.append(TabState{std::nullopt, 0, 0, false, today});
        result.activeIndex = 0;
    } else {
        result.activeIndex = std::min<qint64>(front, result.tabs.size() - 1);
    }
    return result;
}
