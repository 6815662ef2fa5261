#include "QuendrilPad/CommandLineModes.h"
#include "QuendrilPad/EditorAccessibility.h"
#include "QuendrilPad/EditorDemoWindow.h"
#include "QuendrilPad/SkeletonWindow.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version answer before anything else starts, as Linux programs do.
std::optional<int> informationMode(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Quendril Pad %s\n", QUENDRIL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: quendril-pad [option]\n"
                "Plain-text sheets that save themselves.\n\n"
                "  --export-plain <folder>  copy every sheet as plain text into <folder>\n"
                "  --restore-key            read a recovery key and put it in the keyring\n"
                "  --keychain-check         check that the keyring stores and returns a key\n"
                "  --editor-demo            open a window with one editor to try it\n"
                "  --version                print the version and exit\n"
                "  --help                   print this help and exit\n");
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    if (const auto status = informationMode(argc, argv))
        return *status;

    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto status = CommandLineModes::run(arguments)) {
        std::fflush(stdout);
        return *status;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quendril Pad"));
    QApplication::setApplicationVersion(QStringLiteral(QUENDRIL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("local.quendrilpad"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));

    installEditorAccessibility();
    if (arguments.contains(QStringLiteral("--editor-demo"))) {
        EditorDemoWindow demo;
        demo.show();
        return QApplication::exec();
    }
    SkeletonWindow window;
    window.show();
    return QApplication::exec();
}
