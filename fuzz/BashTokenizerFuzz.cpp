#include "TokenizerFuzz.h"

#include "QuendrilCore/BashTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzTokenizer(data, size, [](QStringView text, TextSpan range) {
        return BashTokenizer::tokens(text, range);
    });
}
