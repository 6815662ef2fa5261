#include "QuendrilCore/AddOnOutcome.h"

QString AddOnOutcome::textChanged(const QString& name)
{
    return QString(name + u": the text changed, so nothing was added");
}
