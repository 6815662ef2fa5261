#include "ThemeManager.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilCore/NaturalOrder.h"
#include "QuendrilCore/ThemeCatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace {

struct Entry {
    QFileInfo info;
    QByteArray sortKey;
};

std::optional<Theme> readTheme(const QFileInfo& info)
{
    // Only regular files (or links to them) are read: a FIFO named like a theme would block.
    if (!info.isFile())
        return std::nullopt;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    Result<Theme, ThemeError> theme = Theme::decode(bytes);
    if (!theme)
        return std::nullopt;
    return std::move(*theme);
}

const Theme* findNamed(const QList<Theme>& themes, QStringView name)
{
    const auto found = std::find_if(themes.begin(), themes.end(), [&](const Theme& theme) {
        return name.compare(theme.name, Qt::CaseInsensitive) == 0;
    });
    return found != themes.end() ? &*found : nullptr;
}

} // namespace

ThemeManager::ThemeManager(QString folder)
    : m_folder(std::move(folder))
    , m_current(BuiltInThemes::paper())
{
}

void ThemeManager::writeExamples() const
{
    const QString examples = m_folder + QStringLiteral("/Examples");
    QDir().mkpath(examples);
    for (const Theme& theme : BuiltInThemes::all()) {
        const QByteArray bytes = theme.encodedPretty();
        if (bytes.isEmpty())
            continue;
        QSaveFile file(examples + u'/' + theme.name + QStringLiteral(".json"));
        if (!file.open(QIODevice::WriteOnly))
            continue;
        file.write(bytes);
        (void)file.commit();
    }
}

ThemeManager::Available ThemeManager::available() const
{
    // Broken links and other non-regular files are listed too, so that they are reported.
    const QFileInfoList listing = QDir(m_folder).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    QList<Entry> entries;
    for (const QFileInfo& info : listing) {
        if (info.isDir())
            continue;
        const QString name = info.fileName();
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot < 0 || name.sliced(dot + 1).compare(u"json", Qt::CaseInsensitive) != 0)
            continue;
        entries.append({info, NaturalOrder::sortKey(name)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.sortKey < b.sortKey; });

    Available result;
    QList<Theme> fileThemes;
    for (const Entry& entry : entries) {
        if (std::optional<Theme> theme = readTheme(entry.info))
            fileThemes.append(std::move(*theme));
        else
            result.broken.append(entry.info.fileName());
    }
    result.themes = ThemeCatalog::merge(BuiltInThemes::all(), fileThemes);
    return result;
}

const Theme& ThemeManager::select(QStringView name)
{
    const QList<Theme> themes = available().themes;
    const QList<Theme> builtIns = BuiltInThemes::all();
    const Theme* chosen = findNamed(themes, name);
    if (!chosen)
        chosen = findNamed(builtIns, name);
    m_current = chosen ? *chosen : BuiltInThemes::paper();
    return m_current;
}

QString ThemeManager::brokenFilesMessage(const QStringList& broken)
{
    if (broken.isEmpty())
        return {};
    return QStringLiteral("Theme file not valid: ") + broken.join(QStringLiteral(", "));
}
