#include "ToolCommand.h"

#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/JSONRegions.h"

#include <QString>

// Standard input goes through the same text path as a paste: decoded as UTF-8 first.
static const ToolCommand::Registration formatJson{
    "format-json", "pretty-print standard input with indent 4; exit 1 when it does not format",
    [](const QStringList&) {
        const QString text = QString::fromUtf8(ToolCommand::readStandardInput());
        const std::optional<QString> printed = JSONFormatter::prettyPrint(text, 4);
        if (!printed)
            return 1;
        ToolCommand::writeStandardOutput(printed->toUtf8());
        return 0;
    }};

static const ToolCommand::Registration jsonValid{
    "json-valid", "exit 0 when standard input is one valid JSON value, else 1",
    [](const QStringList&) {
        return JSONFormatter::isValid(QByteArrayView(ToolCommand::readStandardInput())) ? 0 : 1;
    }};

static const ToolCommand::Registration jsonRegions{
    "json-regions", "print \"start end\" (UTF-16 units) for each JSON region of standard input",
    [](const QStringList&) {
        const QString text = QString::fromUtf8(ToolCommand::readStandardInput());
        QByteArray lines;
        for (const JSONRange& region : JSONRegions::find(text))
            lines += QByteArray::number(region.lower) + ' ' + QByteArray::number(region.upper) + '\n';
        ToolCommand::writeStandardOutput(lines);
        return 0;
    }};
