#pragma once

#include "QuendrilCore/CodeLanguage.h"
#include "QuendrilCore/FencedBlock.h"

#include <QList>
#include <QStringView>

#include <optional>

// Finds the fenced blocks of a text. A line whose trimmed content starts with three backticks
// opens a block, whatever word follows; inside a block, a line of three or more backticks alone
// closes it and any other fence line is body text.
namespace FencedBlocks {

// Every block of `text`, in text order.
[[nodiscard]] QList<FencedBlock> find(QStringView text);

// The language named by the text after an opening fence's backticks: its first space-separated
// word, lower-cased: "bash", "sh", "shell" or "zsh" give bash, "sql" gives sql, anything else none.
[[nodiscard]] std::optional<CodeLanguage> language(QStringView afterBackticks);

} // namespace FencedBlocks
