// Norvale's entry point: a tray application without a main window.

#include "AppPlatform.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvale"));
    QApplication::setOrganizationName(QStringLiteral("Norvale"));
    QApplication::setQuitOnLastWindowClosed(false);

    AppPlatform platform = AppPlatform::create(
        choosePlatformKind(QApplication::arguments(), qgetenv("NORVALE_PLATFORM")));
    return QApplication::exec();
}
