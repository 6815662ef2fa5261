#include "ToolCommand.h"

#include "QuendrilCore/LinkFinder.h"

#include <QString>

// Prints the links of UTF-8 text on standard input, one half-open range of UTF-16 positions per
// line: "start end".
static const ToolCommand::Registration links{
    "links", "stdin UTF-8 text; one link per line, \"start end\" in UTF-16 units",
    [](const QStringList&) {
        const QString text = QString::fromUtf8(ToolCommand::readStandardInput());
        QByteArray out;
        for (const FoundLink& link : LinkFinder::links(text, {0, text.size()})) {
            out += QByteArray::number(link.range.location) + ' ' +
                   QByteArray::number(link.range.end()) + '\n';
        }
        ToolCommand::writeStandardOutput(out);
        return 0;
    }};
