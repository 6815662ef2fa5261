#include "QuendrilCore/SheetName.h"

#include <cstdint>
#include <cstdlib>

// Any name: no crash; a name that parses gives back, in the same calendar, a name with the same
// first 19 bytes (except where the calendar moves a skipped local time).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTimeZone zones[] = {QTimeZone::utc(), QTimeZone("Europe/Berlin"), QTimeZone("Asia/Kathmandu")};
    const QByteArrayView name(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QTimeZone& zone : zones) {
        const std::optional<QDateTime> fromBytes = SheetName::date(name, zone);
        const std::optional<QDateTime> fromText = SheetName::date(QStringView(QString::fromUtf8(name)), zone);
        if (fromBytes.has_value() && (!fromBytes->isValid() || fromBytes->timeSpec() != Qt::UTC))
            std::abort();
        if (fromBytes && fromText && *fromBytes != *fromText && !name.contains('\0'))
            std::abort();
    }
    return 0;
}
