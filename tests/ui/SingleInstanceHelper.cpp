// A stand-in for the program's start: claims the single instance of the folder given as the first
// argument and reports on stdout what happened ("primary", "raised-other", "no-answer",
// "blocked", "no-lock-file", "unavailable"); a primary that cannot listen adds "not-listening".
// The primary stays running and prints "raise-requested" for every request.
// An optional second argument is the claim timeout in milliseconds.
#include "ui/shell/SingleInstance.h"

#include <QCoreApplication>
#include <QTextStream>
#include <chrono>

using orvalink::ui::SingleInstance;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    const std::chrono::milliseconds timeout(args.size() > 2 ? args.at(2).toInt() : 5000);
    QTextStream out(stdout);
    SingleInstance instance(args.at(1));
    switch (instance.claim(timeout)) {
    case SingleInstance::Outcome::Primary:
        break;
    case SingleInstance::Outcome::RaisedOther:
        out << "raised-other\n";
        return 0;
    case SingleInstance::Outcome::NoAnswer:
        out << "no-answer\n";
        return 1;
    case SingleInstance::Outcome::Blocked:
        out << "blocked " << instance.errorString() << "\n";
        return 1;
    case SingleInstance::Outcome::NoLockFile:
        out << "no-lock-file " << instance.errorString() << "\n";
        return 1;
    case SingleInstance::Outcome::Unavailable:
        out << "unavailable " << instance.errorString() << "\n";
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::raiseRequested, &app, [&out] {
        out << "raise-requested\n";
        out.flush();
    });
    out << "primary\n";
    if (!instance.isListening())
        out << "not-listening\n";
    out.flush();
    return app.exec();
}
