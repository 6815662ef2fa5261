#include "ToolCommand.h"

#include "QuendrilCore/NotebookIndexing.h"
#include "QuendrilCore/SearchIndex.h"
#include "QuendrilCore/SearchQuery.h"
#include "QuendrilCore/TextFolding.h"

#include <QFileInfo>

#include <cstdio>

namespace {

const ToolCommand::Registration fold{
    "fold", "stdin UTF-8 text, folded for searching (case and accents removed)",
    [](const QStringList&) {
        const QString text = QString::fromUtf8(ToolCommand::readStandardInput());
        ToolCommand::writeStandardOutput(TextFolding::foldToUtf8(text));
        return 0;
    }};

// Loads the folder as the application's loader does (plain and readable sheets only, as no key
// is given) and prints every match, newest first.
const ToolCommand::Registration search{
    "search", "<folder> <query>...: the matching sheets' paths, newest first",
    [](const QStringList& arguments) {
        if (arguments.size() < 2)
            return 2;
        const QFileInfo folder(arguments[0]);
        if (!folder.isDir()) {
            std::fprintf(stderr, "not a folder: %s\n", qPrintable(arguments[0]));
            return 2;
        }
        const SheetStore store(folder.absoluteFilePath(), QTimeZone::systemTimeZone(),
                               SheetEncryption::off());
        SearchIndex index;
        [[maybe_unused]] const NotebookIndexing::LoadOutcome outcome =
            NotebookIndexing::load(store, index);
        const SearchQuery query(arguments.mid(1).join(u' '));
        QByteArray lines;
        for (const SearchResult& result : index.search(query, index.count()))
            lines += result.url.toUtf8() + '\n';
        ToolCommand::writeStandardOutput(lines);
        return 0;
    }};

} // namespace
