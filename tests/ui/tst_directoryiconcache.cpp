// Icons of listed entries: decided by name and kind alone, shared per type, bounded in number.
#include "ui/models/DirectoryIconCache.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

QIcon filledIcon(const QColor& colour)
{
    QPixmap pixmap(18, 18);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

const QByteArray pngSignature("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);

} // namespace

class DirectoryIconCacheTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void typeComesFromNameOnly_data();
    void typeComesFromNameOnly();
    void sameTypeSharesOneIcon();
    void missingPathsAndDirectoriesNeedNoFile();
    void pathCacheIsBounded();
    void withoutThemeUsesOwnersIcons();

private:
    QTemporaryDir m_dir;
    QStringList m_searchPaths;
    QString m_theme;
};

void DirectoryIconCacheTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The offscreen platform looks for themes in the resources only; a desktop adds the XDG folders.
    m_searchPaths = QIcon::themeSearchPaths() + QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                                          QStringLiteral("icons"),
                                                                          QStandardPaths::LocateDirectory);
    QIcon::setThemeSearchPaths(m_searchPaths);
    m_theme = QStringLiteral("Adwaita");
    QIcon::setThemeName(m_theme);
}

void DirectoryIconCacheTest::cleanup()
{
    QIcon::setThemeSearchPaths(m_searchPaths);
    QIcon::setThemeName(m_theme);
}

void DirectoryIconCacheTest::typeComesFromNameOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("twin");
    QTest::newRow("text named, PNG inside") << "x.txt" << pngSignature << "text/plain"
                                            << "/nonexistent/t.txt";
    QTest::newRow("no extension, PNG inside") << "picture" << pngSignature << "application/octet-stream"
                                              << "/nonexistent/other";
    QTest::newRow("PNG named, text inside") << "y.png" << QByteArray("hello\n") << "image/png"
                                            << "/nonexistent/p.png";
}

void DirectoryIconCacheTest::typeComesFromNameOnly()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, type);
    QFETCH(QString, twin);
    const QString path = m_dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();

    DirectoryIconCache cache(filledIcon(Qt::blue), filledIcon(Qt::gray));
    QCOMPARE(cache.mimeTypeName(path), type);
    // The icon is the one of the named type, the same as for a path of that type that does not exist.
    QCOMPARE(cache.icon(path, EntryKind::file).cacheKey(), cache.icon(twin, EntryKind::file).cacheKey());
}

void DirectoryIconCacheTest::sameTypeSharesOneIcon()
{
    DirectoryIconCache cache(filledIcon(Qt::blue), filledIcon(Qt::gray));
    const QIcon a = cache.icon(QStringLiteral("/data/a.txt"), EntryKind::file);
    const QIcon b = cache.icon(QStringLiteral("/other/b.txt"), EntryKind::file);
    const QIcon picture = cache.icon(QStringLiteral("/data/c.png"), EntryKind::file);
    QVERIFY(!a.isNull());
    QCOMPARE(a.cacheKey(), b.cacheKey());
    QCOMPARE(cache.icon(QStringLiteral("/data/a.txt"), EntryKind::file).cacheKey(), a.cacheKey());
    QCOMPARE(cache.cachedPathCount(), 3);
    if (!QIcon::hasThemeIcon(QStringLiteral("text-x-generic")))
        QSKIP("the Adwaita icon theme is not installed; every type falls back to the file icon");
    QVERIFY(picture.cacheKey() != a.cacheKey());
}

void DirectoryIconCacheTest::missingPathsAndDirectoriesNeedNoFile()
{
    const QIcon folder = filledIcon(Qt::blue);
    DirectoryIconCache cache(folder, filledIcon(Qt::gray));
    QVERIFY(!cache.icon(QStringLiteral("/no/such/place/report.pdf"), EntryKind::file).isNull());
    QVERIFY(!cache.icon(QStringLiteral("/no/such/place/unnamed"), EntryKind::file).isNull());

    // The kind decides: a directory named like a document, or a path that holds a file, gets the
    // folder icon without anyone looking at the disk.
    const QIcon dir = cache.icon(QStringLiteral("/no/such/place/Backup.zip"), EntryKind::directory);
    QVERIFY(!dir.isNull());
    QCOMPARE(cache.icon(m_dir.path(), EntryKind::directory).cacheKey(), dir.cacheKey());

    // A fifo would block a reader forever: naming it is all the cache may do.
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.txt"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(cache.mimeTypeName(fifo), QStringLiteral("text/plain"));
    QVERIFY(!cache.icon(fifo, EntryKind::file).isNull());
}

void DirectoryIconCacheTest::pathCacheIsBounded()
{
    DirectoryIconCache cache(filledIcon(Qt::blue), filledIcon(Qt::gray), 50);
    QCOMPARE(cache.capacity(), 50);
    qint64 shared = 0;
    for (int i = 0; i < 500; ++i) {
        const QIcon icon = cache.icon(QStringLiteral("/data/file-%1.txt").arg(i), EntryKind::file);
        if (i == 0)
            shared = icon.cacheKey();
        QCOMPARE(icon.cacheKey(), shared);
        QVERIFY(cache.cachedPathCount() <= 50);
    }
    QCOMPARE(cache.cachedPathCount(), 50);
    QCOMPARE(DirectoryIconCache(QIcon(), QIcon()).capacity(), 4000);
}

void DirectoryIconCacheTest::withoutThemeUsesOwnersIcons()
{
    QTemporaryDir empty;
    QIcon::setThemeSearchPaths({empty.path()});
    QIcon::setThemeName(QStringLiteral("no-such-theme"));
    const QIcon folder = filledIcon(Qt::blue);
    const QIcon file = filledIcon(Qt::gray);
    DirectoryIconCache cache(folder, file);
    QCOMPARE(cache.icon(QStringLiteral("/data/a.txt"), EntryKind::file).cacheKey(), file.cacheKey());
    QCOMPARE(cache.icon(QStringLiteral("/data/b.png"), EntryKind::file).cacheKey(), file.cacheKey());
    QCOMPARE(cache.icon(QStringLiteral("/data/Music"), EntryKind::directory).cacheKey(), folder.cacheKey());
}

QTEST_MAIN(DirectoryIconCacheTest)
#include "tst_directoryiconcache.moc"
