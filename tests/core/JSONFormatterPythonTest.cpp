#include "QuendrilCore/JSONFormatter.h"

#include "JSONReference.h"
#include "TempDir.h"

#include <QDirIterator>
#include <QProcess>

#include <gtest/gtest.h>

// Differential test against Python's json module: json.dumps(value, indent=4,
// ensure_ascii=False) lays JSON out exactly as the pretty printer does, so once the scalars are
// in Python's spelling the two outputs must be identical byte for byte.
namespace {

const QString python = QStringLiteral("/usr/bin/python3");
const QString script = QStringLiteral(QUENDRIL_SOURCE_DIR "/tests/support/json_python_reference.py");

struct Reference {
    QString output;
    int exitCode = -1;
};

Reference runPython(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(python, QStringList{script} + arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(600'000))
        return {};
    return {QString::fromUtf8(process.readAllStandardOutput()), process.exitCode()};
}

QByteArray realJSONFilePaths()
{
    QByteArray paths;
    for (const char* root : {"/usr/share", "/usr/lib", "/etc"}) {
        QDirIterator files(QString::fromLatin1(root), {QStringLiteral("*.json")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext())
            paths += files.next().toUtf8() + '\n';
    }
    return paths;
}

struct Comparison {
    int compared = 0;
    int identicalAsFound = 0;
    int skipped = 0;
};

// Pretty-prints Python's minified spelling of every case and expects Python's own layout; the
// inputs as found are printed too, identical when already in Python's spelling and otherwise
// left for Python to check that they hold the same value.
Comparison compareCases(const TempDir& folder, const QString& manifest)
{
    Comparison result;
    for (const QString& line : manifest.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        if (fields[0] == u"skipped") {
            ++result.skipped;
            continue;
        }
        SCOPED_TRACE(fields.value(1).toStdString());
        const QString base = fields[0];
        const QByteArray expected = folder.read(base + u".expected");
        const auto printed =
            JSONFormatter::prettyPrint(JSONReference::decodeUTF8(folder.read(base + u".min")), 4);
        EXPECT_TRUE(printed && printed->toUtf8() == expected);
        ++result.compared;

        const auto asFound =
            JSONFormatter::prettyPrint(JSONReference::decodeUTF8(folder.read(base + u".in")), 4);
        if (!asFound) {
            ADD_FAILURE() << "Python reads it but it did not print";
            continue;
        }
        const QByteArray asFoundBytes = asFound->toUtf8();
        if (asFoundBytes == expected)
            ++result.identicalAsFound;
        else
            folder.write(base + u".out", asFoundBytes);
    }
    return result;
}

TEST(JSONFormatterPython, RealFilesPrintAsPythonPrintsThem)
{
    TempDir folder;
    const Reference manifest = runPython({QStringLiteral("prepare"), folder.path()},
                                         realJSONFilePaths());
    ASSERT_EQ(manifest.exitCode, 0);
    const Comparison result = compareCases(folder, manifest.output);
    EXPECT_GT(result.compared, 50);
    EXPECT_EQ(runPython({QStringLiteral("same"), folder.path()}).exitCode, 0)
        << "a file printed as found holds a different value";
    std::printf("Python differential, real files: %d compared (%d identical as found, the rest "
                "after Python's spelling of numbers and strings), %d skipped\n",
                result.compared, result.identicalAsFound, result.skipped);
}

TEST(JSONFormatterPython, GeneratedDocumentsPrintAsPythonPrintsThem)
{
    TempDir folder;
    const Reference manifest =
        runPython({QStringLiteral("generate"), folder.path(), QStringLiteral("400"),
                   QStringLiteral("31337")});
    ASSERT_EQ(manifest.exitCode, 0);
    const Comparison result = compareCases(folder, manifest.output);
    EXPECT_EQ(result.compared, 400);
    EXPECT_EQ(result.identicalAsFound, 400); // generated in Python's spelling
    std::printf("Python differential, generated documents: %d compared\n", result.compared);
}

} // namespace
