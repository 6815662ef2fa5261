#include "TempDir.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

QString TempDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path;
}

QByteArray TempDir::read(const QString& name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString TempDir::mkdir(const QString& name) const
{
    const QString path = filePath(name);
    EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
    return path;
}

void TempDir::shell(const QString& script) const
{
    QProcess process;
    process.setWorkingDirectory(path());
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-ec"), script});
    ASSERT_TRUE(process.waitForFinished(10000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}
