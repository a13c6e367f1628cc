#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

// Every string literal of the program's sources is a text the window may show, except the few
// values below. This reads them all, so a text added anywhere later is checked too, and fails on
// words of another desktop than the one the program runs on.

namespace {

// Words a Linux user would not recognise as their system's. Case-sensitive unless marked.
const QList<QRegularExpression>& foreignWords()
{
    static const QList<QRegularExpression> words{
        QRegularExpression(QStringLiteral("\\bMacs?\\b")),
        QRegularExpression(QStringLiteral("\\bmacOS\\b"), QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral("Macintosh")),
        QRegularExpression(QStringLiteral("\\bFinder\\b")),
        QRegularExpression(QStringLiteral("访达")),
        QRegularExpression(QStringLiteral("Application Support")),
        QRegularExpression(QStringLiteral("Time Machine")),
        QRegularExpression(QStringLiteral("\\bSpotlight\\b")),
        QRegularExpression(QStringLiteral("\\bKeychain\\b")),
        QRegularExpression(QStringLiteral("钥匙串")),
        QRegularExpression(QStringLiteral("\\biCloud\\b")),
        QRegularExpression(QStringLiteral("\\bLaunchpad\\b")),
        QRegularExpression(QStringLiteral("System Preferences")),
        QRegularExpression(QStringLiteral("⌘")),
        QRegularExpression(QStringLiteral("\\bCommand-.")),
    };
    return words;
}

// Values that are no texts: paths the safety rules and the demo data hold.
const QStringList kValues{
    QStringLiteral("Data/Library/Application Support"),
    QStringLiteral("Macintosh HD"),
};

// Files that hold data rather than texts of the program: the tutorial's fixed demo machine.
const QStringList kDataFiles{QStringLiteral("src/guide/GuideDemoData.cpp")};

struct Literal {
    QString text;
    int line = 0;
};

// The string literals of a C++ source, adjacent ones ("a" "b") joined; comments, character
// literals and preprocessor lines skipped.
QList<Literal> stringLiterals(const QString& source)
{
    QList<Literal> literals;
    int line = 1;
    bool joinNext = false;
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = source.at(i);
        if (c == QLatin1Char('\n')) {
            ++line;
            continue;
        }
        if (c.isSpace())
            continue;
        if (c == QLatin1Char('#') && (i == 0 || source.at(i - 1) == QLatin1Char('\n'))) {
            while (i < n && source.at(i) != QLatin1Char('\n'))
                ++i;
            --i;
            continue;
        }
        if (source.mid(i, 2) == QLatin1String("//")) {
            while (i < n && source.at(i) != QLatin1Char('\n'))
                ++i;
            --i;
            continue;
        }
        if (source.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = source.indexOf(QLatin1String("*/"), i + 2);
            line += int(source.mid(i, end - i).count(QLatin1Char('\n')));
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n && source.at(i) != QLatin1Char('\'')) {
                if (source.at(i) == QLatin1Char('\\'))
                    ++i;
                ++i;
            }
            joinNext = false;
            continue;
        }
        if (c != QLatin1Char('"')) {
            joinNext = false;
            continue;
        }
        QString text;
        const int startLine = line;
        for (++i; i < n && source.at(i) != QLatin1Char('"'); ++i) {
            if (source.at(i) == QLatin1Char('\\') && i + 1 < n) {
                ++i;
                text += source.at(i) == QLatin1Char('n') ? QLatin1Char('\n') : source.at(i);
                continue;
            }
            text += source.at(i);
        }
        if (joinNext && !literals.isEmpty())
            literals.last().text += text;
        else
            literals.append({text, startLine});
        joinNext = true;
    }
    return literals;
}

QString withoutValues(QString text)
{
    for (const QString& value : kValues)
        text.remove(value);
    return text;
}

} // namespace

class VisibleWordsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void literalsAreRead()
    {
        const QList<Literal> literals = stringLiterals(QStringLiteral(
            "#include \"a.h\"\n// \"comment\"\nf(QStringLiteral(\"one \" \"two\"), '\"', \"x\\\"y\");\n"
            "/* \"also a\n comment\" */ g(\"three\");"));
        QCOMPARE(literals.size(), 3);
        QCOMPARE(literals.at(0).text, QStringLiteral("one two"));
        QCOMPARE(literals.at(1).text, QStringLiteral("x\"y"));
        QCOMPARE(literals.at(2).text, QStringLiteral("three"));
        QCOMPARE(literals.at(2).line, 5);
    }

    void foreignWordsAreFound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("foreign");
        QTest::newRow("this Mac") << "restores only this Mac's snapshot" << true;
        QTest::newRow("Macs") << "Other Macs on This Account" << true;
        QTest::newRow("macOS") << "critical macOS directories" << true;
        QTest::newRow("Chinese Mac") << "当前 Mac 上没有找到" << true;
        QTest::newRow("Finder") << "Reveal in Finder" << true;
        QTest::newRow("Application Support") << "in Application Support" << true;
        QTest::newRow("shortcut") << "Command-R" << true;
        QTest::newRow("payload source") << "mac_app" << false;
        QTest::newRow("machine") << "this machine" << false;
        QTest::newRow("safety rule path") << "Data/Library/Application Support" << false;
        QTest::newRow("this computer") << "这台电脑 this computer" << false;
    }

    void foreignWordsAreFound()
    {
        QFETCH(QString, text);
        QFETCH(bool, foreign);
        const QString checked = withoutValues(text);
        const bool found =
            std::any_of(foreignWords().cbegin(), foreignWords().cend(),
                        [&](const QRegularExpression& word) { return word.match(checked).hasMatch(); });
        QCOMPARE(found, foreign);
    }

    void noTextSpeaksOfAnotherSystem()
    {
        const QString root = QStringLiteral(ORVALINK_SOURCE_DIR);
        QStringList offenders;
        int files = 0;
        int literalCount = 0;
        QDirIterator it(root + QStringLiteral("/src"), {"*.cpp", "*.h", "*.desktop"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = path.mid(root.size() + 1);
            if (kDataFiles.contains(relative))
                continue;
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const QString source = QString::fromUtf8(file.readAll());
            ++files;
            // A desktop entry is all text.
            const QList<Literal> literals = path.endsWith(QLatin1String(".desktop"))
                                                ? QList<Literal>{{source, 1}}
                                                : stringLiterals(source);
            literalCount += int(literals.size());
            for (const Literal& literal : literals) {
                const QString text = withoutValues(literal.text);
                for (const QRegularExpression& word : foreignWords()) {
                    const QRegularExpressionMatch match = word.match(text);
                    if (match.hasMatch())
                        offenders.append(QStringLiteral("%1:%2: \"%3\" in %4")
                                             .arg(relative)
                                             .arg(literal.line)
                                             .arg(match.captured(), literal.text.left(100)));
                }
            }
        }
        // The whole program was read, not an empty or wrong folder.
        QVERIFY2(files > 300, qPrintable(QString::number(files)));
        QVERIFY2(literalCount > 2000, qPrintable(QString::number(literalCount)));
        QVERIFY2(offenders.isEmpty(), qPrintable(offenders.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(VisibleWordsTest)
#include "tst_visiblewords.moc"
