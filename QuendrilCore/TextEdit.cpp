#include "QuendrilCore/TextEdit.h"

QString TextEdit::applied(QStringView text) const
{
    Q_ASSERT(0 <= range.lower && range.lower <= range.upper && range.upper <= text.size());
    QString result;
    result.reserve(text.size() + changeInLength());
    result.append(text.first(range.lower));
    result.append(replacement);
    result.append(text.sliced(range.upper));
    return result;
}
