#include "QuendrilCore/TabLabel.h"

#include <QLocale>
#include <QTextBoundaryFinder>

namespace {

const QLocale& britishEnglish()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    return locale;
}

// The code-unit length of the first `count` grapheme clusters of `text` (all of it if shorter).
qsizetype clusterPrefixLength(QStringView text, int count, int* clusters = nullptr)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    int seen = 0;
    qsizetype end = 0;
    while (seen < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        end = next;
        ++seen;
    }
    if (clusters)
        *clusters = seen;
    return end;
}

int clusterCount(QStringView text, int atMost)
{
    int count = 0;
    clusterPrefixLength(text, atMost, &count);
    return count;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmedOfSpacesAndTabs(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.sliced(start, end - start);
}

} // namespace

namespace TabLabel {

QString firstLine(QStringView text)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = text.sliced(start, end - start);
        const QStringView trimmed = trimmedOfSpacesAndTabs(line.first(clusterPrefixLength(line, 200)));
        if (!trimmed.isEmpty())
            return trimmed.toString();
        if (end >= text.size())
            break;
        start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    }
    return {};
}

QString label(QStringView text, const std::optional<QDateTime>& sheetDate, const QDateTime& now,
              const QTimeZone& calendar)
{
    QString title = firstLine(text);
    if (title.isEmpty())
        title = QStringLiteral("New");
    else if (clusterCount(title, maxLength + 1) > maxLength)
        title = title.left(clusterPrefixLength(title, maxLength - 1)) + QChar(0x2026);

    if (sheetDate && sheetDate->toTimeZone(calendar).date() != now.toTimeZone(calendar).date())
        title += u" \u00B7 " + shortDate(*sheetDate, calendar);
    return title;
}

QString shortDate(const QDateTime& date, const QTimeZone& calendar)
{
    return britishEnglish().toString(date.toTimeZone(calendar), u"ddd d MMM");
}

QString tooltip(const std::optional<QDateTime>& sheetDate, const QTimeZone& calendar)
{
    if (!sheetDate)
        return QStringLiteral("New sheet, not saved yet");
    return britishEnglish().toString(sheetDate->toTimeZone(calendar), u"dddd d MMMM yyyy, HH:mm:ss");
}

} // namespace TabLabel
