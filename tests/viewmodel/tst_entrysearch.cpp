#include "ListingFixtures.h"
#include "viewmodel/browsing/EntrySearch.h"
#include "viewmodel/texts/TextFolding.h"

#include <QTest>

using namespace orvalink;
using orvalink::test::fileEntry;
using orvalink::test::folderEntry;

class EntrySearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("ascii case") << "Photos 2024"
                                    << "photos 2024";
        QTest::newRow("accents") << QStringLiteral("Café Déjà Vu") << "cafe deja vu";
        QTest::newRow("decomposed accent") << QStringLiteral("Cafe\u0301") << "cafe";
        QTest::newRow("full-width letters") << QStringLiteral("ＤＯＣＳ２") << "docs2";
        QTest::newRow("ideographic space") << QStringLiteral("ａ\u3000ｂ") << "a b";
        QTest::newRow("half-width katakana") << QStringLiteral("ｶﾒﾗ") << QStringLiteral("カメラ");
        QTest::newRow("chinese unchanged") << QStringLiteral("微信文件") << QStringLiteral("微信文件");
        QTest::newRow("hangul stays composed") << QStringLiteral("사진") << QStringLiteral("사진");
        QTest::newRow("greek capitals") << QStringLiteral("ΆΛΜΠΟΥΜ") << QStringLiteral("αλμπουμ");
    }

    void folding()
    {
        QFETCH(QString, text);
        QTEST(foldForSearch(text), "folded");
    }

    void foldingIsCharacterByCharacter()
    {
        // The listing folds a folder's path once and appends each folded name; that is only sound
        // when folding a joined path gives the joined folds.
        const QStringList parents{QStringLiteral("/home/Ａlice/Café"), QStringLiteral("/Users/ΣΟΦΙΑ"),
                                  QStringLiteral("/media/ｶﾒﾗ")};
        const QStringList names{QStringLiteral("É\u0301TÉ"), QStringLiteral("ΌΣΟΣ"),
                                QStringLiteral("ﾊﾞｯｸｱｯﾌﾟ")};
        for (const QString& parent : parents) {
            for (const QString& name : names) {
                QCOMPARE(foldForSearch(parent + QLatin1Char('/') + name),
                         foldForSearch(parent) + QLatin1Char('/') + foldForSearch(name));
            }
        }
    }

    void matching_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("matches");
        const QString movies = QStringLiteral("/home/alice/Media/Movies");
        QTest::newRow("empty query") << movies << "" << true;
        QTest::newRow("only spaces and a line break") << movies << "  \n " << true;
        QTest::newRow("substring of the name, any case") << movies << "MOV" << true;
        QTest::newRow("substring of the path only") << movies << "alice/med" << true;
        QTest::newRow("trimmed before matching") << movies << "  movies  " << true;
        QTest::newRow("words split between path and name") << movies << "media alice movies" << true;
        QTest::newRow("word order does not matter") << movies << "movies media" << true;
        QTest::newRow("one word nowhere, letters out of order") << movies << "movies zebra" << false;
        QTest::newRow("subsequence: first, third, fifth letters") << movies << "mve" << true;
        QTest::newRow("subsequence across the path") << movies << "hamm" << true;
        QTest::newRow("letters in the wrong order") << movies << "seivom" << false;
        QTest::newRow("unknown letters") << movies << "xyz" << false;
        QTest::newRow("accented query, plain name")
            << "/home/alice/Resume" << QStringLiteral("Résumé") << true;
        QTest::newRow("plain query, accented name") << QStringLiteral("/home/alice/Café") << "cafe" << true;
        QTest::newRow("full-width query") << "/home/alice/Downloads" << QStringLiteral("ＤＯＷＮ") << true;
        QTest::newRow("full-width name") << QStringLiteral("/srv/ＤＡＴＡ") << "data" << true;
        QTest::newRow("full-width space splits words")
            << movies << QStringLiteral("ａｌｉｃｅ\u3000ｍｏｖｉｅｓ") << true;
        QTest::newRow("chinese subsequence")
            << QStringLiteral("/home/a/微信聊天文件") << QStringLiteral("微文") << true;
        QTest::newRow("chinese out of order")
            << QStringLiteral("/home/a/微信聊天文件") << QStringLiteral("文微") << false;
        QTest::newRow("space inside the query is kept for the substring test") << "/home/alice/My Files"
                                                                               << "my f" << true;
    }

    void matching()
    {
        QFETCH(QString, path);
        QFETCH(QString, query);
        QFETCH(bool, matches);
        QCOMPARE(matchesSearch(folderEntry(path), query), matches);
    }

    void nameIsSearchedEvenWhenThePathDiffers()
    {
        // A listing may name an entry differently from its path (a display name); both count.
        DirectoryEntry entry = fileEntry(QStringLiteral("/data/x1"));
        entry.name = QStringLiteral("Holiday Video.mp4");
        QVERIFY(matchesSearch(entry, "holiday"));
        QVERIFY(matchesSearch(entry, "hvm"));
        QVERIFY(matchesSearch(entry, "data holiday"));
        QVERIFY(!matchesSearch(entry, "hx1z"));
    }

    void subsequence_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QString>("haystack");
        QTest::addColumn<bool>("found");
        QTest::newRow("empty needle") << ""
                                      << "" << true;
        QTest::newRow("empty haystack") << "a"
                                        << "" << false;
        QTest::newRow("gaps") << "ace"
                              << "abcde" << true;
        QTest::newRow("order matters") << "aec"
                                       << "abcde" << false;
        QTest::newRow("repeated letters need repeats") << "aa"
                                                       << "abc" << false;
        QTest::newRow("whole string") << "abc"
                                      << "abc" << true;
        // A flag is one character of two code points; half of it is not found inside it.
        QTest::newRow("flag as one character") << QStringLiteral("🇫🇷") << QStringLiteral("x🇫🇷") << true;
        QTest::newRow("half a flag") << QStringLiteral("🇷") << QStringLiteral("🇫🇷") << false;
        QTest::newRow("base letter without its mark") << "e" << QStringLiteral("e\u0301") << false;
    }

    void subsequence()
    {
        QFETCH(QString, needle);
        QFETCH(QString, haystack);
        QTEST(isSubsequence(needle, haystack), "found");
    }

    void queryParts()
    {
        const SearchQuery query(QStringLiteral("  Ｆoo  Bär "));
        QVERIFY(!query.isEmpty());
        QCOMPARE(query.folded(), QStringLiteral("foo  bar"));
        QCOMPARE(query.words(), QStringList({"foo", "bar"}));
        QVERIFY(SearchQuery(QStringLiteral("\t \n")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(EntrySearchTest)
#include "tst_entrysearch.moc"
