#include "ToolCommand.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace ToolCommand {

std::map<QByteArray, Entry>& registry()
{
    static std::map<QByteArray, Entry> commands;
    return commands;
}

QByteArray readStandardInput()
{
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count > 0)
            bytes.append(buffer, count);
        else if (count == 0 || errno != EINTR)
            break;
    }
    return bytes;
}

void writeStandardOutput(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

} // namespace ToolCommand

static int usage()
{
    std::printf("Usage: quendril-tool <command> [arguments]\n\nCommands:\n");
    for (const auto& [name, entry] : ToolCommand::registry())
        std::printf("  %-16s %s\n", name.constData(), entry.summary);
    return 2;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return usage();
    const auto found = ToolCommand::registry().find(QByteArray(argv[1]));
    if (found == ToolCommand::registry().end())
        return usage();
    QStringList arguments;
    for (int i = 2; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const int status = found->second.handler(arguments);
    std::fflush(stdout);
    return status;
}
