#include "QuendrilCore/AddOnOutput.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

// Cleaned output holds no CR and no control character but tab and LF, and never ends in LF;
// placing it under any position of a text gives an edit inside that text.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto cleaned = AddOnOutput::clean(bytes);
    if (!cleaned)
        return 0;
    const QString& text = *cleaned;
    for (QChar unit : text) {
        if (unit.category() == QChar::Other_Control && unit != u'\t' && unit != u'\n')
            std::abort();
    }
    if (text.endsWith(u'\n'))
        std::abort();

    // The output placed under a caret inside itself.
    const qsizetype caret = text.isEmpty() ? 0 : static_cast<qsizetype>(data[0]) % text.size();
    const std::optional<EditResult> edit = AddOnOutput::insert(text, {caret, caret}, text);
    if (text.isEmpty() != !edit.has_value())
        std::abort();
    if (edit) {
        const qsizetype at = edit->edit.range.lower;
        if (at < 0 || at > text.size() || !edit->edit.range.isEmpty() ||
            edit->selection.lower != at + edit->edit.replacement.size())
            std::abort();
    }
    return 0;
}
