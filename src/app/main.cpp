#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Orvalink"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVALINK_VERSION));
    QTextStream(stdout)
        << "Orvalink " << ORVALINK_VERSION
        << " was built, but it has no window yet: only its libraries and tests exist so far.\n";
    return 0;
}
