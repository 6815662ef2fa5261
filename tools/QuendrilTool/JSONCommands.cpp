#include "ToolCommand.h"

#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/JSONRegions.h"

#include <QString>
#include <QStringDecoder>

// Standard input as text: UTF-8 with U+FFFD for invalid sequences, and a leading byte order mark
// kept as a character (QString::fromUtf8 would drop it and so accept what the core refuses).
static QString standardInputText()
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(ToolCommand::readStandardInput());
}

static const ToolCommand::Registration formatJson{
    "format-json", "pretty-print standard input with indent 4; exit 1 when it does not format",
    [](const QStringList&) {
        const QString text = standardInputText();
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
        const QString text = standardInputText();
        QByteArray lines;
        for (const JSONRange& region : JSONRegions::find(text))
            lines += QByteArray::number(region.lower) + ' ' + QByteArray::number(region.upper) + '\n';
        ToolCommand::writeStandardOutput(lines);
        return 0;
    }};
