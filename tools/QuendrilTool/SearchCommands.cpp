#include "ToolCommand.h"

#include "QuendrilCore/TextFolding.h"

static const ToolCommand::Registration fold{
    "fold", "stdin UTF-8 text, folded for searching (case and accents removed)",
    [](const QStringList&) {
        const QString text = QString::fromUtf8(ToolCommand::readStandardInput());
        ToolCommand::writeStandardOutput(TextFolding::foldToUtf8(text));
        return 0;
    }};
