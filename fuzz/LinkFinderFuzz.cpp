#include "FuzzInput.h"

#include "QuendrilCore/LinkFinder.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzInput input(data, size);
    // An exactly sized heap block, so the sanitizer catches a read past the text's end.
    const std::vector<char16_t> units(input.text.utf16(), input.text.utf16() + input.text.size());
    const QStringView text(units.data(), qsizetype(units.size()));
    const QList<FoundLink> all = LinkFinder::links(text, {0, text.size()});
    qsizetype previousEnd = 0;
    for (const FoundLink& link : all) {
        FUZZ_CHECK(link.range.location >= previousEnd && link.range.length > 7);
        FUZZ_CHECK(link.range.end() <= text.size());
        FUZZ_CHECK(text.sliced(link.range.location, 4).compare(u"http", Qt::CaseInsensitive) == 0);
        FUZZ_CHECK(link.url.isValid() && !link.url.host().isEmpty());
        previousEnd = link.range.end();
    }
    // A click or a caret, which scan only their lines, agree with a scan of the whole text.
    const qsizetype position = input.range.location;
    const auto at = LinkFinder::linkAt(position, text);
    std::optional<FoundLink> expected;
    for (const FoundLink& link : all) {
        if (link.range.location <= position && position < link.range.end())
            expected = link;
    }
    FUZZ_CHECK(at == expected);
    const TextRange selection = input.range.range();
    if (const auto touching = LinkFinder::linkTouching(selection, text)) {
        FUZZ_CHECK(all.contains(*touching));
        FUZZ_CHECK(touching->range.location <= selection.upper &&
                   selection.lower <= touching->range.end());
    }
    for (const FoundLink& link : LinkFinder::links(text, input.range)) {
        FUZZ_CHECK(link.range.location >= input.range.location);
        FUZZ_CHECK(link.range.end() <= input.range.end());
    }
    return 0;
}
