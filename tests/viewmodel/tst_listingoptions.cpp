#include "viewmodel/browsing/FileTypes.h"
#include "viewmodel/state/ListingOptions.h"

#include <QTest>

using namespace orvalink;

Q_DECLARE_METATYPE(orvalink::FileTypeFilter)
Q_DECLARE_METATYPE(orvalink::EntryKind)
Q_DECLARE_METATYPE(orvalink::UILanguage)

class ListingOptionsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rawTextsRoundTripInDeclarationOrder()
    {
        QStringList sortTexts;
        for (SortOption option : allSortOptions) {
            sortTexts.append(toText(option));
            QCOMPARE(sortOptionFromText(toText(option)), option);
        }
        QCOMPARE(sortTexts, QStringList({"sizeDesc", "sizeAsc", "typeSizeDesc", "typeSizeAsc", "nameAsc",
                                         "modifiedDesc"}));
        QStringList typeTexts;
        for (FileTypeFilter filter : allFileTypeFilters) {
            typeTexts.append(toText(filter));
            QCOMPARE(fileTypeFilterFromText(toText(filter)), filter);
        }
        QCOMPARE(typeTexts, QStringList({"all", "folder", "app", "image", "video", "audio", "archive",
                                         "document", "code", "diskImage", "other"}));
        for (VisibilityFilter filter : allVisibilityFilters)
            QCOMPARE(visibilityFilterFromText(toText(filter)), filter);
        QCOMPARE(toText(VisibilityFilter::hiddenOnly), QStringLiteral("hiddenOnly"));
    }

    void unknownRawTextsMakeNoOption()
    {
        QVERIFY(!sortOptionFromText("size"));
        QVERIFY(!fileTypeFilterFromText("All"));
        QVERIFY(!visibilityFilterFromText("visible"));
        QVERIFY(!sortOptionFromText(QString()));
    }

    void typePositionsFollowTheTable()
    {
        QCOMPARE(typePosition(FileTypeFilter::all), 0);
        QCOMPARE(typePosition(FileTypeFilter::folder), 1);
        QCOMPARE(typePosition(FileTypeFilter::diskImage), 9);
        QCOMPARE(typePosition(FileTypeFilter::other), 10);
    }

    void titles_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("sizeDesc");
        QTest::addColumn<QString>("typeSizeAsc");
        QTest::addColumn<QString>("diskImage");
        QTest::addColumn<QString>("other");
        QTest::newRow("chinese") << UILanguage::chinese << "大小降序"
                                 << "类型+大小升序"
                                 << "镜像/虚拟盘"
                                 << "其他";
        QTest::newRow("english") << UILanguage::english << "Size DESC"
                                 << "Type + Size ASC"
                                 << "Disk Images"
                                 << "Others";
        QTest::newRow("bilingual") << UILanguage::bilingual << "大小降序 Size DESC"
                                   << "类型+大小升序 Type + Size ASC"
                                   << "镜像/虚拟盘 Disk Images"
                                   << "其他 Others";
    }

    void titles()
    {
        QFETCH(UILanguage, language);
        QTEST(sortTitle(SortOption::sizeDesc).in(language), "sizeDesc");
        QTEST(sortTitle(SortOption::typeSizeAsc).in(language), "typeSizeAsc");
        QTEST(fileTypeTitle(FileTypeFilter::diskImage).in(language), "diskImage");
        QTEST(fileTypeTitle(FileTypeFilter::other).in(language), "other");
    }

    void everyTitleIsDistinct()
    {
        QSet<QString> titles;
        for (SortOption option : allSortOptions)
            titles.insert(sortTitle(option).in(UILanguage::english));
        for (FileTypeFilter filter : allFileTypeFilters)
            titles.insert(fileTypeTitle(filter).in(UILanguage::english));
        QCOMPARE(titles.size(), int(allSortOptions.size() + allFileTypeFilters.size()));
        QCOMPARE(sortTitle(SortOption::nameAsc).in(UILanguage::english), QStringLiteral("Name"));
        QCOMPARE(fileTypeTitle(FileTypeFilter::all).in(UILanguage::english), QStringLiteral("All Types"));
    }

    void classification_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<EntryKind>("kind");
        QTest::addColumn<FileTypeFilter>("type");
        const auto file = EntryKind::file;
        const auto dir = EntryKind::directory;
        QTest::newRow("upper-case ts is video") << "clip.TS" << file << FileTypeFilter::video;
        QTest::newRow("tar.gz is archive") << "backup.tar.gz" << file << FileTypeFilter::archive;
        QTest::newRow("no dot is other") << "Makefile" << file << FileTypeFilter::other;
        QTest::newRow("folder ending in .app") << "Xcode.app" << dir << FileTypeFilter::app;
        QTest::newRow("file ending in .APP") << "Tool.APP" << file << FileTypeFilter::app;
        QTest::newRow("folder with extension") << "photos.jpg" << dir << FileTypeFilter::folder;
        QTest::newRow("image") << "IMG_1.HEIC" << file << FileTypeFilter::image;
        QTest::newRow("audio") << "song.flac" << file << FileTypeFilter::audio;
        QTest::newRow("document") << "notes.md" << file << FileTypeFilter::document;
        QTest::newRow("code") << "main.cpp" << file << FileTypeFilter::code;
        QTest::newRow("disk image") << "debian.iso" << file << FileTypeFilter::diskImage;
        QTest::newRow("qcow2") << "vm.qcow2" << file << FileTypeFilter::diskImage;
        QTest::newRow("unknown extension") << "data.bin" << file << FileTypeFilter::other;
        QTest::newRow("hidden name without extension") << ".bashrc" << file << FileTypeFilter::other;
        QTest::newRow("trailing dot") << "report." << file << FileTypeFilter::other;
        QTest::newRow("hidden name with extension") << ".config.json" << file << FileTypeFilter::code;
    }

    void classification()
    {
        QFETCH(QString, name);
        QFETCH(EntryKind, kind);
        QTEST(classifyFileType(name, kind), "type");
    }

    void pathExtensions()
    {
        QCOMPARE(pathExtension(u"a.tar.gz"), QStringLiteral("gz"));
        QCOMPARE(pathExtension(u".bashrc"), QString());
        QCOMPARE(pathExtension(u"plain"), QString());
        QCOMPARE(pathExtension(u"Photo.JPG"), QStringLiteral("JPG"));
    }
};

QTEST_GUILESS_MAIN(ListingOptionsTest)
#include "tst_listingoptions.moc"
