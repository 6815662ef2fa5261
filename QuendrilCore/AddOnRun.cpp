#include "QuendrilCore/AddOnRun.h"

AddOnRun AddOnRun::finished(int status, QByteArray output, QByteArray errors)
{
    return AddOnRun(Finished{status, std::move(output), std::move(errors)});
}

AddOnRun AddOnRun::timedOut(double seconds)
{
    return AddOnRun(TimedOut{seconds});
}

AddOnRun AddOnRun::couldNotStart(QString error)
{
    return AddOnRun(CouldNotStart{std::move(error)});
}

AddOnRun AddOnRun::tooMuchOutput()
{
    return AddOnRun(TooMuchOutput{});
}
