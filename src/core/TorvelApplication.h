#pragma once

#include <QApplication>

// The desktop application object. Its notify() is the general error box: an exception that
// escapes an event handler is shown to the user and ends only that command.
class TorvelApplication : public QApplication {
    Q_OBJECT
public:
    TorvelApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Locale, names and the program's title, shared by the desktop program and the tests.
    static void setUp();
};
