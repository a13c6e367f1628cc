// Runs the loopback account service until it is stopped (Ctrl-C), so the application can be tried
// against it by hand: ORVALINK_BACKEND_BASE_URL=<printed address> scripts/run-app.sh
#include "support/LoopbackAccountService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A local account service for trying Orvalink by hand."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port on 127.0.0.1 (default: a free one)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("An account to create (repeatable)."),
                                  QStringLiteral("email:password"));
    const QCommandLineOption captcha(QStringLiteral("captcha"),
                                     QStringLiteral("Require a captcha to sign in."));
    const QCommandLineOption lifetime(QStringLiteral("token-lifetime"),
                                      QStringLiteral("Seconds an access token lives (default 3600)."),
                                      QStringLiteral("seconds"), QStringLiteral("3600"));
    parser.addOptions({port, user, captcha, lifetime});
    parser.process(app);

    QTextStream err(stderr);
    orvalink::test::LoopbackAccountService service;
    for (const QString& entry : parser.values(user)) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if (colon <= 0) {
            err << "--user needs email:password\n";
            return 2;
        }
        service.addUser(entry.left(colon).trimmed().toLower(), entry.mid(colon + 1));
    }
    service.setCaptchaEnabled(parser.isSet(captcha));
    service.setAccessTokenLifetime(parser.value(lifetime).toLongLong());
    const quint16 requestedPort = static_cast<quint16>(parser.value(port).toUInt());
    if (requestedPort == 8080) {
        err << "Port 8080 is not served: the application replaces that loopback address with its default.\n";
        return 2;
    }
    if (!service.start(requestedPort)) {
        err << "Cannot listen on 127.0.0.1:" << requestedPort << "\n";
        return 1;
    }
    QTextStream(stdout) << service.baseURL() << Qt::endl;
    return app.exec();
}
