#include "QuendrilCore/AddOn.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

// Any header text parses without crashing; a parsed add-on has a trimmed, non-empty name, and
// its pattern can be tried on any input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = AddOn::parse(text);
    if (!parsed)
        return 0;
    if (const std::optional<AddOn>& addOn = *parsed) {
        if (addOn->name.isEmpty() || addOn->name.trimmed() != addOn->name)
            std::abort();
        if (addOn->showWhen && addOn->showWhen->isEmpty())
            std::abort();
        (void)addOn->applies(text);
    }
    return 0;
}
