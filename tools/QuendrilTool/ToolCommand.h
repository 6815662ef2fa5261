#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <map>

// One subcommand of quendril-tool. Register it from its own file:
//
//   static const ToolCommand::Registration formatJson{"format-json", "stdin JSON, indent 4",
//       [](const QStringList& args) { ... return 0; }};
namespace ToolCommand {

using Handler = std::function<int(const QStringList& arguments)>;

struct Entry {
    const char* summary;
    Handler handler;
};

std::map<QByteArray, Entry>& registry();

struct Registration {
    Registration(const char* name, const char* summary, Handler handler)
    {
        registry().emplace(QByteArray(name), Entry{summary, std::move(handler)});
    }
};

// Standard input as bytes, read to the end.
QByteArray readStandardInput();
// Writes bytes to standard output unchanged.
void writeStandardOutput(const QByteArray& bytes);

} // namespace ToolCommand
