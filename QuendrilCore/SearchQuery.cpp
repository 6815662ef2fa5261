#include "QuendrilCore/SearchQuery.h"

#include "QuendrilCore/TextFolding.h"

#include <unicode/uchar.h>

namespace {

bool isWhiteSpace(char32_t c)
{
    return u_isUWhiteSpace(UChar32(c));
}

QString trimmed(QStringView term)
{
    const QList<uint> codePoints = term.toUcs4();
    qsizetype first = 0;
    qsizetype last = codePoints.size();
    while (first < last && isWhiteSpace(codePoints[first]))
        ++first;
    while (last > first && isWhiteSpace(codePoints[last - 1]))
        --last;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData() + first),
                             last - first);
}

} // namespace

SearchQuery::SearchQuery(QStringView text)
{
    const QString folded = TextFolding::fold(text);
    QString current;
    bool inQuotes = false;
    const auto finishTerm = [&] {
        QString term = trimmed(current);
        if (!term.isEmpty())
            terms.append(std::move(term));
        current.clear();
    };
    for (qsizetype i = 0; i < folded.size();) {
        qsizetype length = 1;
        char32_t c = folded[i].unicode();
        if (folded[i].isHighSurrogate() && i + 1 < folded.size() &&
            folded[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(folded[i], folded[i + 1]);
            length = 2;
        }
        if (c == U'"') {
            finishTerm();
            inQuotes = !inQuotes;
        } else if (!inQuotes && isWhiteSpace(c)) {
            finishTerm();
        } else {
            current.append(folded.mid(i, length));
        }
        i += length;
    }
    finishTerm();
}
