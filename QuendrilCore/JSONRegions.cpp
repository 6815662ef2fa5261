#include "QuendrilCore/JSONRegions.h"

#include "QuendrilCore/JSONFormatter.h"

namespace {

enum class Candidate { ended, failed, outOfBudget };

// Scans the candidate that begins with the bracket at `start` for where it could end, spending
// one step per code unit.
Candidate scanCandidate(const char16_t* text, qsizetype length, qsizetype start, qint64& budget,
                        qsizetype& candidateEnd)
{
    qsizetype depth = 0;
    bool inString = false;
    for (qsizetype i = start; i < length; ++i) {
        if (budget == 0)
            return Candidate::outOfBudget;
        --budget;
        const char16_t c = text[i];
        if (c == u'\n') {
            if (inString)
                return Candidate::failed;
            if (depth == 0) {
                candidateEnd = i;
                return Candidate::ended;
            }
            continue;
        }
        if (inString) {
            if (c == u'"') {
                inString = false;
            } else if (c == u'\\') {
                ++i; // the escaped unit is looked at no further
                if (i < length) {
                    if (budget == 0)
                        return Candidate::outOfBudget;
                    --budget;
                }
            }
            continue;
        }
        switch (c) {
        case u'"':
            inString = true;
            break;
        case u'{':
        case u'[':
            ++depth;
            break;
        case u'}':
        case u']':
            if (--depth < 0)
                return Candidate::failed;
            break;
        default:
            break;
        }
    }
    if (depth != 0 || inString)
        return Candidate::failed;
    candidateEnd = length;
    return Candidate::ended;
}

qsizetype nextLineStart(const char16_t* text, qsizetype length, qsizetype from)
{
    while (from < length && text[from] != u'\n')
        ++from;
    return from < length ? from + 1 : length;
}

} // namespace

namespace JSONRegions {

QList<JSONRange> find(QStringView units, std::optional<JSONRange> limit)
{
    QList<JSONRange> regions;
    const qsizetype length = units.size();
    if (length == 0)
        return regions;
    const char16_t* const text = units.utf16();
    qint64 budget = 4 * qint64(length) + 1'000'000;

    qsizetype position = 0;
    while (position < length) {
        const qsizetype lineStart = position;
        while (position < length && (text[position] == u' ' || text[position] == u'\t'))
            ++position;
        if (position == length)
            break;
        if (text[position] != u'{' && text[position] != u'[') {
            position = nextLineStart(text, length, position);
            continue;
        }
        const qsizetype start = position;
        if (limit && start > limit->upper)
            break;
        qsizetype end = 0;
        const Candidate candidate = scanCandidate(text, length, start, budget, end);
        if (candidate == Candidate::outOfBudget)
            break;
        if (candidate == Candidate::ended) {
            budget -= end - start;
            const bool valid = JSONFormatter::isValid(units.sliced(start, end - start));
            if (valid) {
                if (!limit || (start <= limit->upper && end >= limit->lower))
                    regions.append(JSONRange{start, end});
                position = end;
            }
            if (budget <= 0)
                break;
            if (valid)
                continue;
        }
        // The lines inside a failed candidate may hold values of their own.
        position = nextLineStart(text, length, lineStart);
    }
    return regions;
}

} // namespace JSONRegions
