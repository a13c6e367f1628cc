#include "ListingFixtures.h"
#include "support/TestHome.h"
#include "support/TestTree.h"
#include "viewmodel/browsing/SmartMigrationRules.h"
#include "viewmodel/smart/SmartMigrationAdvisor.h"

#include <QTest>

using namespace orvalink;
using orvalink::test::fileEntry;
using orvalink::test::folderEntry;
using Tone = orvalink::SmartMigrationSuggestion::Tone;

namespace {

const QString kHome = QStringLiteral("/home/alice");
const QString kContainers = kHome + "/Library/Containers/com.tencent.xinWeChat";
const QString kGroup = kHome + "/Library/Group Containers/group.com.tencent.xinWeChat";

SmartMigrationAdvisor advisor(const SmartMigrationCriteria& criteria, const QStringList& existingFolders = {},
                              UILanguage language = UILanguage::english)
{
    return SmartMigrationAdvisor(
        criteria, kHome, PresentationPrivacy(false, PrivacyLocations::of(kHome, "/media/alice"), language),
        language, [existingFolders](const QString& path) { return existingFolders.contains(path); });
}

std::optional<QString> shownIn(const std::optional<BilingualText>& text, UILanguage language)
{
    if (!text)
        return std::nullopt;
    return text->in(language);
}

QStringList idsOf(const QList<SmartMigrationSuggestion>& cards)
{
    QStringList ids;
    for (const SmartMigrationSuggestion& card : cards)
        ids.append(card.id);
    return ids;
}

} // namespace

class SmartMigrationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void genericQualification()
    {
        QVERIFY(isGenericSuggestedDirectory(folderEntry("/d/plain", 524288000)));
        QVERIFY(!isGenericSuggestedDirectory(folderEntry("/d/plain", 524287999)));
        QVERIFY(isGenericSuggestedDirectory(folderEntry("/d/My Pictures", 524287999)));
        QVERIFY(isGenericSuggestedDirectory(folderEntry("/d/Project Archive", 0)));
        const SmartMigrationCriteria on{true, SmartMigrationProfile::other, {}};
        // Files never qualify, however large.
        QVERIFY(smartMigrationSuggestedPathSet({fileEntry("/d/huge.iso", 5000000000)}, on).isEmpty());
        DirectoryEntry unclean = folderEntry("/d/./Movies/", 0);
        unclean.name = QStringLiteral("Movies");
        QCOMPARE(smartMigrationSuggestedPathSet({unclean}, on), QSet<QString>({"/d/Movies"}));
        // Off: nothing, whatever qualifies.
        QVERIFY(smartMigrationSuggestedPathSet({folderEntry("/d/Movies", 0)}, {}).isEmpty());
    }

    void weChatQualification()
    {
        const QStringList roots{kContainers, kGroup};
        QVERIFY(isWeChatSuggestedDirectory(kContainers + "/Message Cache", "Message Cache", roots));
        QVERIFY(isWeChatSuggestedDirectory(kGroup + "/x/FileStorage", "FileStorage", roots));
        QVERIFY(
            !isWeChatSuggestedDirectory(kContainers + "/Preferences Backup", "Preferences Backup", roots));
        QVERIFY(!isWeChatSuggestedDirectory(kContainers, "Cache", roots));
        QVERIFY(!isWeChatSuggestedDirectory(kHome + "/Cache", "Cache", roots));
        QVERIFY(!isWeChatSuggestedDirectory(kContainers + "/Cache", "Cache", {}));
        QVERIFY(isWeChatSuggestedDirectory(kContainers + "/Data/../Blog", "Blog", roots)); // "log"
    }

    void protection_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("protectedPath");
        QTest::newRow("root itself") << kContainers << false;
        QTest::newRow("Data") << kContainers + "/Data" << false;
        QTest::newRow("under Data/Library") << kContainers + "/Data/Library/Caches" << true;
        QTest::newRow("Data/tmp") << kGroup + "/Data/tmp" << true;
        QTest::newRow("database file") << kContainers + "/x/Msg.SQLite" << true;
        QTest::newRow("wal file") << kContainers + "/x/msg.db-wal" << true;
        QTest::newRow("tmp folder") << kContainers + "/Data/Documents/tmp" << true;
        QTest::newRow("tmp2 folder") << kContainers + "/Data/Documents/tmp2" << false;
        QTest::newRow("documents") << kContainers + "/Data/Documents/Videos" << false;
        QTest::newRow("outside the roots") << kHome + "/Library/Preferences" << false;
        QTest::newRow("standardized first") << kContainers + "/Data/x/../Library/" << true;
    }

    void protection()
    {
        QFETCH(QString, path);
        QTEST(isWeChatProtectedSelection(path, {kContainers, kGroup}), "protectedPath");
        QVERIFY(!isWeChatProtectedSelection(path, {}));
    }

    void validationMessage()
    {
        const QStringList roots{kContainers};
        const QString lib = kContainers + "/Data/Library/";
        QCOMPARE(
            shownIn(weChatSmartMigrationValidationMessage({kContainers + "/Data/Documents/Video"}, roots),
                    UILanguage::english),
            std::nullopt);
        const QStringList five{lib + "a", kHome + "/ok", lib + "b", lib + "c", lib + "d", lib + "e"};
        const auto english = shownIn(weChatSmartMigrationValidationMessage(five, roots), UILanguage::english);
        QCOMPARE(english,
                 std::optional<QString>(
                     "Smart Migration blocked these high-risk WeChat paths:\n" + lib + "a\n" + lib + "b\n" +
                     lib +
                     "c\n...and 2 more path(s)\n\nThese folders usually contain databases, "
                     "preferences, WebKit data, or core sandbox state. Choose deeper cache, download, media, "
                     "or attachment folders instead."));
        const auto chinese = shownIn(weChatSmartMigrationValidationMessage(five, roots), UILanguage::chinese);
        QVERIFY(chinese->startsWith(QStringLiteral("微信智能迁移已拦下这些高风险目录：\n") + lib + "a\n"));
        QVERIFY(chinese->contains(QStringLiteral("\n...以及另外 2 个路径\n\n")));
        // In both languages each half holds the count line once, in its own language.
        const auto both = shownIn(weChatSmartMigrationValidationMessage(five, roots), UILanguage::bilingual);
        QCOMPARE(both->count(QStringLiteral("...以及另外 2 个路径")), 1);
        QCOMPARE(both->count(QStringLiteral("...and 2 more path(s)")), 1);
        QVERIFY(both->indexOf(QStringLiteral("...以及另外")) <
                both->indexOf(QStringLiteral("Smart Migration")));
        // Three paths: no count line.
        QVERIFY(!shownIn(weChatSmartMigrationValidationMessage(five.mid(0, 4), roots), UILanguage::english)
                     ->contains(QStringLiteral("more path")));
    }

    void weChatCards()
    {
        const QList<DirectoryEntry> listing{
            folderEntry(kContainers + "/Small Cache", 10), folderEntry(kContainers + "/Downloads", 30),
            folderEntry(kContainers + "/Video", 30), fileEntry(kContainers + "/log.txt", 99),
            folderEntry(kContainers + "/Preferences Backup", 99)};
        // No container: one caution card whatever the listing holds.
        const auto missing =
            advisor({true, SmartMigrationProfile::wechat, {}}).smartMigrationSuggestions(listing, kHome);
        QCOMPARE(missing.size(), 1);
        QCOMPARE(missing.first().id, QStringLiteral("wechat-unavailable"));
        QCOMPARE(missing.first().tone, Tone::caution);
        QCOMPARE(missing.first().path, kHome);
        QCOMPARE(missing.first().title, QStringLiteral("WeChat Container Not Found"));

        const SmartMigrationCriteria both{true, SmartMigrationProfile::wechat, {kContainers, kGroup}};
        // Browsing the home: an entry point per root, the Containers root first.
        const auto atHome = advisor(both).smartMigrationSuggestions({}, kHome);
        QCOMPARE(idsOf(atHome), QStringList({"wechat-root-" + kContainers, "wechat-root-" + kGroup}));
        QCOMPARE(atHome.first().tone, Tone::entrypoint);
        QCOMPARE(atHome.first().title, QStringLiteral("Open WeChat Data Root"));

        // Inside a root: the candidates, larger first, equal sizes in listing order.
        const auto inside = advisor(both).smartMigrationSuggestions(listing, kContainers + "/");
        QCOMPARE(idsOf(inside), QStringList({"wechat-entry-" + kContainers + "/Downloads",
                                             "wechat-entry-" + kContainers + "/Video",
                                             "wechat-entry-" + kContainers + "/Small Cache"}));
        QCOMPARE(
            inside.at(0).note,
            QStringLiteral("Looks like a downloads or attachments folder and is a good first candidate."));
        QCOMPARE(inside.at(1).note,
                 QStringLiteral("Looks like a media or resource folder, which is a safer place to start."));
        QCOMPARE(inside.at(2).note,
                 QStringLiteral("Mostly cache or temporary data, which is usually safer to migrate."));
        QCOMPARE(inside.at(2).title, QStringLiteral("Small Cache"));
        QCOMPARE(inside.at(2).tone, Tone::recommended);

        // Inside a root with nothing that qualifies.
        const auto empty = advisor(both).smartMigrationSuggestions({folderEntry(kContainers + "/Data/x")},
                                                                   kContainers + "/Data/./");
        QCOMPARE(idsOf(empty), QStringList({"wechat-empty-" + kContainers + "/Data"}));
        QCOMPARE(empty.first().tone, Tone::caution);
        QCOMPARE(empty.first().path, kContainers + "/Data");

        // Off: no cards.
        QVERIFY(advisor({false, SmartMigrationProfile::wechat, {kContainers}})
                    .smartMigrationSuggestions(listing, kHome)
                    .isEmpty());
    }

    void genericCards()
    {
        const SmartMigrationCriteria on{true, SmartMigrationProfile::other, {}};
        const QList<DirectoryEntry> listing{folderEntry("/d/zeta media", 1073741824),
                                            folderEntry("/d/Alpha cache", 1073741824),
                                            folderEntry("/d/big", 1073741823), folderEntry("/d/tiny", 1)};
        const auto cards = advisor(on).smartMigrationSuggestions(listing, "/d");
        QCOMPARE(idsOf(cards), QStringList({"generic-entry-/d/Alpha cache", "generic-entry-/d/zeta media",
                                            "generic-entry-/d/big"}));
        QCOMPARE(cards.at(0).note, QStringLiteral("Larger than 1 GB. This is a strong migration candidate."));
        QCOMPARE(cards.at(2).note, QStringLiteral("A common large data/cache folder worth checking first."));

        // No candidate: the fallback folders that exist, in table order.
        const auto fallback =
            advisor(on, {kHome + "/Pictures", kHome + "/Downloads", kHome + "/Library/Caches"})
                .smartMigrationSuggestions({folderEntry("/d/tiny", 1)}, "/d");
        QCOMPARE(idsOf(fallback),
                 QStringList({"generic-root-" + kHome + "/Downloads", "generic-root-" + kHome + "/Pictures",
                              "generic-root-" + kHome + "/Library/Caches"}));
        QCOMPARE(fallback.first().title, QStringLiteral("Downloads"));
        QCOMPARE(fallback.first().tone, Tone::entrypoint);
        QCOMPARE(
            fallback.first().note,
            QStringLiteral("Check for folders larger than 500 MB here before deciding what to migrate."));
        QVERIFY(advisor(on).smartMigrationSuggestions({}, "/d").isEmpty());
    }

    void cardsOnTheRealFileSystem()
    {
        test::TestHome home;
        test::TestTree tree(home.home());
        tree.dir("Movies");
        tree.dir("Library/Containers/com.tencent.xinWeChat");
        const SmartMigrationCriteria criteria =
            SmartMigrationCriteria::of(true, SmartMigrationProfile::wechat, home.home());
        QCOMPARE(criteria.weChatRoots,
                 QStringList({home.home() + "/Library/Containers/com.tencent.xinWeChat"}));
        const UILanguage english = UILanguage::english;
        const SmartMigrationAdvisor generic({true, SmartMigrationProfile::other, {}}, home.home(),
                                            PresentationPrivacy(false, PrivacyLocations::current(), english),
                                            english);
        QCOMPARE(idsOf(generic.smartMigrationSuggestions({}, home.home())),
                 QStringList({"generic-root-" + home.home() + "/Movies"}));
    }

    void summaryAndHints()
    {
        const auto other = advisor({false, SmartMigrationProfile::other, {}});
        QVERIFY(other.smartMigrationSummary().startsWith(QStringLiteral("Surface large data folders")));
        const auto wechat = advisor({false, SmartMigrationProfile::wechat, {}}, {}, UILanguage::chinese);
        QVERIFY(wechat.smartMigrationSummary().startsWith(QStringLiteral("为微信这类沙盒应用")));

        const QSet<QString> set{"/d/Movies"};
        const auto on = advisor({true, SmartMigrationProfile::other, {}}, {}, UILanguage::bilingual);
        QCOMPARE(on.smartMigrationHintText(folderEntry("/d/Movies/"), set),
                 std::optional<QString>("智能推荐 Smart Pick"));
        QCOMPARE(on.smartMigrationHintText(folderEntry("/d/Other"), set), std::nullopt);
        QCOMPARE(other.smartMigrationHintText(folderEntry("/d/Movies"), set), std::nullopt);
    }

    void linkRecommendation()
    {
        QCOMPARE(recommendationKind(fileEntry("/home/a/Desktop/photo.png", 2147483648)),
                 std::optional(LinkRecommendation::alias));
        QCOMPARE(recommendationKind(fileEntry("/home/a/Desktop/photo.png", 2147483649)),
                 std::optional(LinkRecommendation::symlink));
        QCOMPARE(recommendationKind(fileEntry("/home/a/documents/x/report.pdf", 1)),
                 std::optional(LinkRecommendation::alias));
        QCOMPARE(recommendationKind(fileEntry("/home/a/Work/report.pdf", 1)),
                 std::optional(LinkRecommendation::symlink));
        QCOMPARE(recommendationKind(fileEntry("/home/a/Desktop/tool.sh", 1)),
                 std::optional(LinkRecommendation::symlink));
        QCOMPARE(recommendationKind(folderEntry("/home/a/Desktop/Photos", 1)),
                 std::optional(LinkRecommendation::symlink));
        DirectoryEntry link = fileEntry("/home/a/Desktop/photo.png", 1);
        link.isSymbolicLink = true;
        QCOMPARE(recommendationKind(link), std::nullopt);
        QCOMPARE(linkRecommendationTitle(LinkRecommendation::alias).in(UILanguage::bilingual),
                 QStringLiteral("建议别名 Use Alias"));
        QCOMPARE(linkRecommendationTitle(LinkRecommendation::symlink).in(UILanguage::chinese),
                 QStringLiteral("建议符号链接"));
    }
};

QTEST_GUILESS_MAIN(SmartMigrationTest)
#include "tst_smartmigration.moc"
