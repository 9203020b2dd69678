#pragma once

#include <QApplication>

// The desktop application object. Its notify() is the general error box: an exception that
// escapes an event handler is shown to the user and ends only that command.
class TorvelApplication : public QApplication {
    Q_OBJECT
public:
    TorvelApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // The program's version ("5.0.3").
    static QString version();
    // Locale, names and Qt's own texts in Portuguese, shared by the desktop program and the
    // tests.
    static void setUp();
    // Qt's Brazilian Portuguese texts (standard buttons, print and file dialogs, the print
    // preview); false when the translation files are not installed. Once per process.
    static bool installQtTranslations();
};
