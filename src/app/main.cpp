// The desktop program: single instance, splash, data module, main window, event loop, and the
// one orderly way out.
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "core/Artwork.h"
#include "core/TdmzDados.h"
#include "core/TfmQ90ini.h"
#include "core/TorvelApplication.h"
#include "platform/KeyboardPolicy.h"
#include "platform/MessageService.h"
#include "platform/SingleInstance.h"
#include "platform/SystemServices.h"
#include "platform/WindowMemory.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QSplashScreen>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

// For the start-up benchmark and the launcher's tests: says "login-shown" on standard output
// once the login dialog is on screen. With TORVEL_EXIT_AT_LOGIN the program then leaves at
// once; with TORVEL_REPORT_LOGIN it goes on as usual; with TORVEL_EXIT_AT_MAIN it confirms the
// login as it stands (the empty login of a new database) and leaves once the main window is on
// screen, saying "main-shown".
class LoginProbe : public DialogRunner {
public:
    LoginProbe(DialogRunner &next, bool leave, bool confirm) : m_next(next), m_leave(leave), m_confirm(confirm) {}
    int run(QDialog *dialog) override
    {
        if (QString::fromLatin1(dialog->metaObject()->className()) == QLatin1String("TfmSenha")) {
            if (m_confirm) {
                QTimer::singleShot(0, dialog, [dialog] {
                    for (QPushButton *button : dialog->findChildren<QPushButton *>())
                        if (button->text().startsWith(QStringLiteral("Conf"))) {
                            button->click();
                            return;
                        }
                });
            } else if (m_leave) {
                dialog->show();
                QCoreApplication::processEvents();
                report();
                std::_Exit(0);
            }
            // Once the dialog's own event loop runs, it is on screen.
            QTimer::singleShot(0, dialog, &LoginProbe::report);
        }
        return m_next.run(dialog);
    }

private:
    static void report()
    {
        std::printf("login-shown\n");
        std::fflush(stdout);
    }

    DialogRunner &m_next;
    bool m_leave;
    bool m_confirm;
};

// The splash stays on top of everything: it makes way for any dialog of the start-up (the
// connection or settings dialog, the login), which would otherwise open behind it.
class SplashAwareRunner : public DialogRunner {
public:
    explicit SplashAwareRunner(QSplashScreen &splash) : m_splash(splash) {}
    int run(QDialog *dialog) override
    {
        m_splash.hide();
        return dialog->exec();
    }

private:
    QSplashScreen &m_splash;
};

}  // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = CommandLine::answer(argc, argv))
        return *answered;
    SystemServices::pinTimeZone();
    TorvelApplication app(argc, argv);
    TorvelApplication::setUp();

    SingleInstance instance(QStringLiteral("torvel-") + qEnvironmentVariable("USER", "user"));
    if (!instance.tryAcquire())
        return 0;  // the running instance was asked to come forward

    WindowMemory windowMemory;
    app.installEventFilter(&windowMemory);
    KeyboardPolicy keyboard;
    app.installEventFilter(&keyboard);

    WidgetMessageService messages;
    MessageService::install(&messages);
    QSplashScreen splash(Artwork::splash());
    SplashAwareRunner runner(splash);
    const bool exitAtLogin = qEnvironmentVariableIsSet("TORVEL_EXIT_AT_LOGIN");
    const bool exitAtMain = qEnvironmentVariableIsSet("TORVEL_EXIT_AT_MAIN");
    LoginProbe probe(runner, exitAtLogin, exitAtMain);
    DialogRunner::install(exitAtLogin || exitAtMain || qEnvironmentVariableIsSet("TORVEL_REPORT_LOGIN")
                              ? static_cast<DialogRunner *>(&probe)
                              : static_cast<DialogRunner *>(&runner));

    splash.show();
    // Connecting can take a while on a slow network: the splash says what is going on.
    splash.showMessage(QString::fromUtf8("Conectando ao banco de dados..."),
                       Qt::AlignBottom | Qt::AlignHCenter, Qt::black);
    splash.repaint();
    app.processEvents();
    QApplication::setOverrideCursor(Qt::WaitCursor);

    TdmzDados dm;
    QApplication::restoreOverrideCursor();
    if (dm.startup() == TdmzDados::Startup::Quit) {
        dm.shutdown();
        return 0;
    }

    TfmQ90ini window;
    QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                     &TfmQ90ini::bringToFront);
    registerCommands(window);
    splash.hide();
    if (!window.FormCreate()) {
        dm.shutdown();
        return 0;
    }
    window.show();
    splash.finish(&window);
    if (exitAtMain) {
        QCoreApplication::processEvents();
        std::printf("main-shown\n");
        std::fflush(stdout);
        std::_Exit(0);
    }
    const int code = app.exec();
    dm.shutdown();
    return code;
}
