#include <QProcess>

#include <gtest/gtest.h>

namespace {
struct PadRun {
    int status;
    QByteArray out;
    QByteArray err;
};

PadRun runPad(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUENDRIL_PAD_EXE), arguments);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}
} // namespace

TEST(CommandLine, VersionAndHelpPrintToStandardOutputAndExitZero)
{
    const PadRun version = runPad({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith("Quendril Pad " QUENDRIL_VERSION "\n")) << version.out.constData();
    EXPECT_TRUE(version.err.isEmpty());

    const PadRun help = runPad({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--export-plain <folder>"));
    EXPECT_TRUE(help.err.isEmpty());
}
