// What reaches a terminal: paths spelled so that no byte of theirs is obeyed as a control, and a
// shell word that still names the very path when typed back.
#include "platform/TerminalText.h"

#include <QProcess>
#include <QTest>
#include <algorithm>

using namespace orvalink::platform;

namespace {

QString messageSeen;

void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    messageSeen = message;
}

// No byte below a space, no DEL and no C1 control (U+0080 to U+009F).
bool holdsNoControls(const QByteArray& text)
{
    const QString decoded = QString::fromUtf8(text);
    return std::none_of(text.begin(), text.end(),
                        [](char byte) { return quint8(byte) < 0x20 || quint8(byte) == 0x7f; }) &&
           std::none_of(decoded.begin(), decoded.end(),
                        [](QChar c) { return c.unicode() >= 0x80 && c.unicode() <= 0x9f; });
}

} // namespace

class TerminalTextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void terminalSafe_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain path") << QByteArray("/home/u/Docs") << QByteArray("/home/u/Docs");
        QTest::newRow("chinese unchanged")
            << QByteArray("/home/u/照片 2024") << QByteArray("/home/u/照片 2024");
        QTest::newRow("emoji unchanged")
            << QByteArray("/a/\xf0\x9f\x93\x81") << QByteArray("/a/\xf0\x9f\x93\x81");
        QTest::newRow("title sequence")
            << QByteArray("/tmp/\x1b]0;owned\x07x") << QByteArray("/tmp/\\e]0;owned\\ax");
        QTest::newRow("clear screen") << QByteArray("/tmp/\x1b[2J\x1b[H") << QByteArray("/tmp/\\e[2J\\e[H");
        QTest::newRow("line breaks and tabs") << QByteArray("a\nb\rc\td") << QByteArray("a\\nb\\rc\\td");
        QTest::newRow("other C0") << QByteArray("a\x01\x1f\x08\x0b\x0c")
                                  << QByteArray("a\\x01\\x1f\\b\\v\\f");
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QByteArray("a\\x00b");
        QTest::newRow("DEL") << QByteArray("a\x7f") << QByteArray("a\\x7f");
        QTest::newRow("C1 CSI U+009B") << QByteArray("a\xc2\x9b"
                                                     "2J")
                                       << QByteArray("a\\xc2\\x9b2J");
        QTest::newRow("C1 NEL U+0085") << QByteArray("\xc2\x85") << QByteArray("\\xc2\\x85");
        QTest::newRow("U+00A0 is no control") << QByteArray("a\xc2\xa0") << QByteArray("a\xc2\xa0");
        QTest::newRow("backslash doubled") << QByteArray("C:\\x1b") << QByteArray("C:\\\\x1b");
        QTest::newRow("lone continuation byte") << QByteArray("a\x9b"
                                                              "b")
                                                << QByteArray("a\\x9bb");
        QTest::newRow("cut sequence") << QByteArray("a\xe7\x85") << QByteArray("a\\xe7\\x85");
        QTest::newRow("overlong ESC") << QByteArray("\xc0\x9b") << QByteArray("\\xc0\\x9b");
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QByteArray("\\xed\\xa0\\x80");
        QTest::newRow("past U+10FFFF")
            << QByteArray("\xf4\x90\x80\x80") << QByteArray("\\xf4\\x90\\x80\\x80");
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9") << QByteArray("caf\\xe9");
    }

    void terminalSafe()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        const QByteArray safe = orvalink::platform::terminalSafe(QByteArrayView(input));
        QCOMPARE(safe, expected);
        QVERIFY2(holdsNoControls(safe), safe.toHex(' ').constData());
        QCOMPARE(orvalink::platform::terminalSafe(QByteArrayView(safe)).count('\\'), safe.count('\\') * 2);
    }

    // The shell word names the path itself: bash, given the word, prints the path's own bytes.
    void shellWordNamesThePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("plainQuotes");
        QTest::newRow("plain") << QStringLiteral("/run/user/0/orvalink-1.lock") << true;
        QTest::newRow("quote") << QStringLiteral("/tmp/it's.lock") << true;
        QTest::newRow("chinese") << QStringLiteral("/tmp/锁 文件") << true;
        QTest::newRow("shell characters") << QStringLiteral("/tmp/$(id) `x` \"y\" *") << true;
        QTest::newRow("escape sequence") << QStringLiteral("/tmp/\x1b]0;owned\x07.lock") << false;
        QTest::newRow("escape and quote") << QStringLiteral("/tmp/\x1b[2J it's") << false;
        QTest::newRow("C1 control") << QStringLiteral("/tmp/a\u009b2J") << false;
        QTest::newRow("backslash and newline") << QStringLiteral("/tmp/a\\b\nc") << false;
    }

    void shellWordNamesThePath()
    {
        QFETCH(QString, path);
        QFETCH(bool, plainQuotes);
        const QString word = shellWord(path);
        QCOMPARE(word.startsWith(QLatin1Char('\'')), plainQuotes);
        QVERIFY(holdsNoControls(word.toUtf8()));
        QProcess bash;
        bash.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), QStringLiteral("printf %s ") + word});
        QVERIFY(bash.waitForFinished());
        QCOMPARE(bash.exitCode(), 0);
        QCOMPARE(bash.readAllStandardOutput(), path.toUtf8());
    }

    // The diagnostics pass through the same spelling before any handler writes them.
    void logMessagesAreEscaped()
    {
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        escapeLogMessages();
        qWarning("cannot remove %s", "/tmp/\x1b]0;owned\x07");
        qInstallMessageHandler(previous);
        QCOMPARE(messageSeen, QStringLiteral("cannot remove /tmp/\\e]0;owned\\a"));
    }
};

QTEST_GUILESS_MAIN(TerminalTextTest)
#include "tst_terminaltext.moc"
