#include "QuendrilCore/UpdateProblem.h"

const char* caseName(UpdateProblem problem)
{
    switch (problem) {
    case UpdateProblem::wrongSize:
        return "wrongSize";
    case UpdateProblem::wrongHash:
        return "wrongHash";
    case UpdateProblem::badSignature:
        return "badSignature";
    case UpdateProblem::wrongBundleID:
        return "wrongBundleID";
    case UpdateProblem::wrongBuild:
        return "wrongBuild";
    case UpdateProblem::notNewer:
        return "notNewer";
    case UpdateProblem::badCodeSignature:
        return "badCodeSignature";
    case UpdateProblem::cannotUnzip:
        return "cannotUnzip";
    case UpdateProblem::needsNewerMacOS:
        return "needsNewerMacOS";
    }
    return "unknown";
}
