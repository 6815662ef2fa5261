#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A throwaway folder that is removed with the test; files are real files on disk.
class TempDir {
public:
    TempDir() { EXPECT_TRUE(m_dir.isValid()) << m_dir.errorString().toStdString(); }

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Creates `name` (and its folders) holding `bytes`; returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    QString mkdir(const QString& name) const;
    // Runs a /bin/sh script (stopping at the first failing command) in this folder, the way
    // another program would change its files.
    void shell(const QString& script) const;

private:
    QTemporaryDir m_dir;
};

// A fixture with one throwaway folder.
class TempDirTest : public ::testing::Test {
protected:
    TempDir temp;
};
