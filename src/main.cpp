#include "app/MainWindow.h"
#include "gui/AppIcon.h"
#include "gui/WindowBinding.h"
#include "platform/Installation.h"
#include "platform/qt/AvahiServiceDiscovery.h"
#include "platform/qt/EndRequests.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtProcessLauncher.h"
#include "platform/qt/QtProgressDialog.h"
#include "platform/qt/QtSingleInstance.h"
#include "platform/qt/QtTrayIcon.h"
#include "platform/qt/QtWindowHost.h"
#include "platform/qt/SystemClock.h"
#include "platform/qt/TcpLinkSocket.h"
#include "platform/qt/Translations.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QWidget>

#include <cstdio>

namespace {

// Without a display Qt would abort with a bare platform error; say what to do instead.
bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "Mirovell braucht eine grafische Oberfläche, aber es ist keine Anzeige (DISPLAY) gesetzt.\n"
                     "Ohne Bildschirm lässt sich das Programm unter Xvfb starten:\n"
                     "    xvfb-run -a %s [playlist.m3u]\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirovell"));
    QApplication::setOrganizationName(QStringLiteral("Mirovell"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QIcon appIcon = appicon::icon();
    QGuiApplication::setDesktopFileName(QStringLiteral("de.mirovell.Mirovell"));
    const Translations language(QLocale::system());

    ProgramEnvironment env;
    env.programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/');
    env.exeBaseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    env.commandLine = args.join(u' ');
    env.configFolder = installation::userConfigFolder();
    env.installed = installation::isInstalledCopy(env.programFolder, QStringLiteral(MIROVELL_INSTALL_BINDIR));

    // the window's frame first: dialogs and the window system's services stand in front of it
    QWidget window;
    QtProcessLauncher processes;
    QtDialogs dialogs(window);
    QtWindowHost windowHost(window);
    QtEventPump events;
    SystemClock clock;
    QtSingleInstance singleInstance(QCoreApplication::applicationFilePath());
    QtProgressDialog progress(window);
    QtTrayIcon tray(appIcon);
    TcpLinkSocketFactory sockets;
    // other instances on the LAN, through the Avahi daemon where there is one; quietly none elsewhere
    AvahiServiceDiscovery discovery;
    MainWindow model(
        {processes, dialogs, windowHost, events, clock, singleInstance, progress, tray, sockets, env, {}, discovery});
    WindowBinding binding(model, window);
    // The system, the desktop session or a terminal ending the program: the same shut-down as the
    // exit button, once, then a normal end with status 0.
    EndRequests endRequests(app, [&model, &windowHost] {
        model.Form_QueryUnload();
        windowHost.quit();
    });

    model.Form_Load();
    if (model.hasEnded())
        return 0;
    model.Form_Resize();
    binding.start();
    window.show();
    // Only now: a window made while there is an application icon renders each of its sizes once
    // for the window manager before it takes its own picture.
    QApplication::setWindowIcon(appIcon);
    return QApplication::exec();
}
