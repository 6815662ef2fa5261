#include "TokenizerFuzz.h"

#include "QuendrilCore/SQLTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzTokenizer(data, size, [](QStringView text, TextSpan range) {
        return SQLTokenizer::tokens(text, range);
    });
}
