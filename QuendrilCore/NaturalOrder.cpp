#include "QuendrilCore/NaturalOrder.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <memory>

namespace {

std::unique_ptr<icu::Collator> makeCollator(UColAttributeValue strength)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !collator)
        return nullptr;
    collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    collator->setAttribute(UCOL_STRENGTH, strength, status);
    if (U_FAILURE(status))
        return nullptr;
    return collator;
}

// ICU collators are cheap to compare with but are not meant to be shared across threads.
struct Collators {
    std::unique_ptr<icu::Collator> secondary = makeCollator(UCOL_SECONDARY);
    std::unique_ptr<icu::Collator> tertiary = makeCollator(UCOL_TERTIARY);
};

Collators& collators()
{
    thread_local Collators perThread;
    return perThread;
}

int compareCodeUnits(QStringView a, QStringView b)
{
    const int result = a.compare(b, Qt::CaseSensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int collate(icu::Collator* collator, QStringView a, QStringView b)
{
    if (!collator)
        return 0;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        collator->compare(reinterpret_cast<const UChar*>(a.utf16()), int32_t(a.size()),
                          reinterpret_cast<const UChar*>(b.utf16()), int32_t(b.size()), status);
    if (U_FAILURE(status))
        return 0;
    return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
}

void appendKey(QByteArray& key, icu::Collator* collator, QStringView name)
{
    if (!collator) {
        key.append('\0');
        return;
    }
    const auto* units = reinterpret_cast<const UChar*>(name.utf16());
    uint8_t buffer[256];
    int32_t length = collator->getSortKey(units, int32_t(name.size()), buffer, sizeof buffer);
    if (length <= int32_t(sizeof buffer)) {
        // The key ends with its zero terminator, which keeps a shorter key's order intact.
        key.append(reinterpret_cast<const char*>(buffer), length);
        return;
    }
    const qsizetype start = key.size();
    key.resize(start + length);
    collator->getSortKey(units, int32_t(name.size()), reinterpret_cast<uint8_t*>(key.data() + start),
                         length);
}

} // namespace

namespace NaturalOrder {

int compare(QStringView a, QStringView b)
{
    Collators& all = collators();
    if (const int result = collate(all.secondary.get(), a, b))
        return result;
    if (const int result = collate(all.tertiary.get(), a, b))
        return result;
    return compareCodeUnits(a, b);
}

QByteArray sortKey(QStringView name)
{
    Collators& all = collators();
    QByteArray key;
    key.reserve(name.size() * 4 + 16);
    appendKey(key, all.secondary.get(), name);
    appendKey(key, all.tertiary.get(), name);
    // Code units big-endian, so that byte order is code-unit order.
    for (const QChar unit : name) {
        key.append(char(unit.unicode() >> 8));
        key.append(char(unit.unicode() & 0xff));
    }
    return key;
}

} // namespace NaturalOrder
