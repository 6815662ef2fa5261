#include "QuendrilPad/CommandLineModes.h"

namespace CommandLineModes {

std::optional<int> run(const QStringList& arguments)
{
    Q_UNUSED(arguments);
    return std::nullopt;
}

} // namespace CommandLineModes
