#pragma once

// Why Format JSON changed nothing.
enum class JSONFormatProblem {
    tooLarge,         // over the pretty printer's limit of 5 MB of UTF-8
    notValid,         // not one valid JSON object or array
    alreadyFormatted, // the text is formatted as it would be
};
