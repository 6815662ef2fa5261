#include "QuendrilCore/UpdateSchedule.h"

namespace UpdateSchedule {

bool isDue(const std::optional<QDateTime>& lastCheck, const QDateTime& now)
{
    if (!lastCheck)
        return true;
    if (now < *lastCheck)
        return true;
    return lastCheck->msecsTo(now) >= interval * 1000;
}

} // namespace UpdateSchedule
