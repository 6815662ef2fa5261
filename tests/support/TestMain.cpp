#include "QtPrinters.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#ifdef QUENDRIL_GUI_TESTS
#include <QApplication>
#endif

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Tests never see the user's home: HOME and the XDG folders point into a throwaway folder, so
// settings, the Trash and the application-support folder are the test's own.
void isolateHome(const QTemporaryDir& home)
{
    const QByteArray root = home.path().toUtf8();
    ::setenv("HOME", root.constData(), 1);
    ::setenv("XDG_CONFIG_HOME", QByteArray(root + "/.config").constData(), 1);
    ::setenv("XDG_DATA_HOME", QByteArray(root + "/.local/share").constData(), 1);
    ::setenv("XDG_CACHE_HOME", QByteArray(root + "/.cache").constData(), 1);
    ::setenv("XDG_STATE_HOME", QByteArray(root + "/.local/state").constData(), 1);
    ::unsetenv("QUENDRIL_APP_SUPPORT");
    ::unsetenv("QUENDRIL_NOTES_FOLDER");
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/quendril-test-home-XXXXXX"));
    if (!home.isValid())
        return 2;
    isolateHome(home);

#ifdef QUENDRIL_GUI_TESTS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
