#include "QuendrilCore/ColorParser.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

// Any text either is refused or gives four finite channels within 0...1.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<RGBA> colour = ColorParser::parse(text)) {
        for (const double channel : {colour->r, colour->g, colour->b, colour->a}) {
            if (!std::isfinite(channel) || channel < -1e-12 || channel > 1 + 1e-12)
                std::abort();
        }
    }
    return 0;
}
