#pragma once

// A reason to refuse a downloaded update, in the order the checks run. The case name is what
// the log records.
enum class UpdateProblem {
    wrongSize,
    wrongHash,
    badSignature,
    wrongBundleID,
    wrongBuild,
    notNewer,
    badCodeSignature,
    cannotUnzip,
    needsNewerMacOS,
};

// The case's own name, for example "wrongHash".
[[nodiscard]] const char* caseName(UpdateProblem problem);
