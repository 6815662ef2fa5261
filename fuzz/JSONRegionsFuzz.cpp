// The region finder over arbitrary text: every region is one valid value on its own lines, and
// a limit only filters what the search without one finds.
#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/JSONRegions.h"

#include <QStringDecoder>

#include <cstdlib>

static void check(bool condition)
{
    if (!condition)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(QByteArrayView(data + 4, qsizetype(size - 4)));
    const QList<JSONRange> regions = JSONRegions::find(text);

    qsizetype previousEnd = 0;
    for (const JSONRange& region : regions) {
        check(previousEnd <= region.lower && region.lower < region.upper);
        check(region.upper <= text.size());
        check(text[region.lower] == u'{' || text[region.lower] == u'[');
        qsizetype lineStart = region.lower;
        while (lineStart > 0 && (text[lineStart - 1] == u' ' || text[lineStart - 1] == u'\t'))
            --lineStart;
        check(lineStart == 0 || text[lineStart - 1] == u'\n');
        check(region.upper == text.size() || text[region.upper] == u'\n');
        check(JSONFormatter::isValid(QStringView(text).sliced(region.lower, region.length())));
        previousEnd = region.upper;
    }

    const qsizetype lower = qsizetype(data[0] | (data[1] << 8)) % (text.size() + 1);
    const qsizetype upper = lower + qsizetype(data[2] | (data[3] << 8)) % (text.size() + 1);
    QList<JSONRange> expected;
    for (const JSONRange& region : regions) {
        if (region.lower <= upper && region.upper >= lower)
            expected.append(region);
    }
    check(JSONRegions::find(text, JSONRange{lower, upper}) == expected);
    return 0;
}
