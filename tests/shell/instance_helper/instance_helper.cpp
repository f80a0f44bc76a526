// A later start of the program, as far as the single-instance check goes:
// run from the hand-over test as a separate process. Exit code 0: the names
// were handed to the running instance; 10: this start would run on its own.
// Options: --multi (AllowMultippleInstances), --deny-without-param
// (AllowInstanceWithoutParam off); every other argument is a name.
#include <QCoreApplication>
#include <QStringList>

#include "shell/SingleInstance.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList names;
    velto::TInstanceHandler handler;
    for (const QString& a : app.arguments().mid(1)) {
        if (a == "--multi") handler.AllowMultippleInstances = true;
        else if (a == "--deny-without-param") handler.AllowInstanceWithoutParam = false;
        else names << a;
    }
    return handler.CheckInstance(names) ? 10 : 0;
}
