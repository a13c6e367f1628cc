#include "ViewModelFixture.h"
#include "model/AppPaths.h"
#include "store/JSONLStore.h"
#include "viewmodel/ViewModelInternals.h"
#include "viewmodel/flow/DetachedFlow.h"

#include <QTest>
#include <QTimer>
#include <algorithm>
#include <future>
#include <thread>

using namespace orvalink;
using namespace orvalink::test;

namespace {

QDateTime at(int minute)
{
    return QDateTime(QDate(2025, 3, 1), QTime(8, 0), QTimeZone::utc()).addSecs(60 * minute);
}

LinkMapping mapping(int number, const QDateTime& created, const QDateTime& updated)
{
    return LinkMapping{QUuid::createUuid(),
                       QStringLiteral("/home/u/m%1").arg(number),
                       QStringLiteral("/media/u/D/m%1").arg(number),
                       QStringLiteral("u"),
                       QStringLiteral("unknown"),
                       created,
                       updated};
}

MigrationTask task(int number, std::optional<QDateTime> startedAt)
{
    MigrationTask result;
    result.id = QUuid::createUuid();
    result.sourcePath = QStringLiteral("/home/u/t%1").arg(number);
    result.targetPath = QStringLiteral("/media/u/D/t%1").arg(number);
    result.status = TaskStatus::completed;
    result.startedAt = startedAt;
    return result;
}

QString guestFile(const QString& name)
{
    return AppPaths::historyDirectory() + QStringLiteral("/guest/") + name;
}

// Holds a file's lock on a thread of its own until released (or 10 s have passed), as an append
// of a migration would: a read of that file waits meanwhile.
class HeldFile {
public:
    explicit HeldFile(const QString& path)
        : m_thread([this, path] {
              std::lock_guard guard(JSONLStore::fileLock(path));
              m_held.set_value();
              m_release.get_future().wait_for(std::chrono::seconds(10));
          })
    {
        m_held.get_future().wait();
    }
    ~HeldFile()
    {
        release();
        m_thread.join();
    }
    void release()
    {
        if (!m_released) {
            m_released = true;
            m_release.set_value();
        }
    }

private:
    std::promise<void> m_held;
    std::promise<void> m_release;
    bool m_released = false;
    std::thread m_thread;
};

} // namespace

// The history the window shows: read off the main thread, and only the newest of it held.
class PersistedHistoryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void onlyTheNewestAreHeldAndAllAreCounted()
    {
        ViewModelFixture fixture;
        QList<LinkMapping> mappings;
        for (int i = 0; i < 1000; ++i) {
            // Many equal times; every seventh updated later than created.
            const QDateTime created = at(i % 50);
            mappings.append(mapping(i, created, i % 7 == 0 ? created.addSecs(3600) : created));
        }
        JSONLStore::writeAll(mappings, guestFile(QStringLiteral("mappings.jsonl")));
        QList<MigrationTask> tasks;
        for (int i = 0; i < 700; ++i)
            tasks.append(task(i, i % 3 == 0 ? std::nullopt : std::optional<QDateTime>(at(i % 40))));
        JSONLStore::writeAll(tasks, guestFile(QStringLiteral("tasks.jsonl")));

        auto vm = fixture.makeViewModel();
        std::stable_sort(
            mappings.begin(), mappings.end(),
            [](const LinkMapping& lhs, const LinkMapping& rhs) { return lhs.recency() > rhs.recency(); });
        std::stable_sort(tasks.begin(), tasks.end(), [](const MigrationTask& lhs, const MigrationTask& rhs) {
            if (!lhs.startedAt || !rhs.startedAt)
                return lhs.startedAt.has_value() && !rhs.startedAt.has_value();
            return *lhs.startedAt > *rhs.startedAt;
        });
        QCOMPARE(vm->history().migratedMappingCount(), 1000);
        QCOMPARE(vm->history().migratedMappings(), mappings.mid(0, 300));
        QCOMPARE(vm->history().undoHistory(), mappings.mid(0, 300));
        QCOMPARE(vm->history().taskCount(), 700);
        QCOMPARE(vm->history().tasks(), tasks.mid(0, 300));

        // An append is read on its own and takes its place among the newest.
        const LinkMapping newest = mapping(1000, at(500), at(500));
        JSONLStore::append(newest, guestFile(QStringLiteral("mappings.jsonl")));
        startDetached(vm->persisted().reloadPersistedState());
        QTRY_COMPARE(vm->history().migratedMappingCount(), 1001);
        QCOMPARE(vm->history().migratedMappings().first(), newest);
        QCOMPARE(vm->history().migratedMappings().size(), 300);
        QCOMPARE(vm->history().migratedMappings().mid(1), mappings.mid(0, 299));
    }

    // While the history file is held by another thread, the main thread goes on: the reload waits
    // on the background runner, and its result is published once the file is free.
    void theMainThreadNeverReadsTheHistory()
    {
        ViewModelFixture fixture;
        auto vm = fixture.makeViewModel();
        QCOMPARE(vm->history().migratedMappingCount(), 0);
        const QString file = guestFile(QStringLiteral("mappings.jsonl"));
        JSONLStore::writeAll(QList<LinkMapping>{mapping(1, at(1), at(1)), mapping(2, at(2), at(2))}, file);

        HeldFile held(file);
        startDetached(vm->persisted().reloadPersistedState());
        QVERIFY(vm->persisted().isReloading());
        bool timerRan = false;
        QTimer::singleShot(50, [&] { timerRan = true; });
        QTRY_VERIFY(timerRan);
        QVERIFY(vm->persisted().isReloading());
        QCOMPARE(vm->history().migratedMappingCount(), 0);
        held.release();
        QTRY_VERIFY(!vm->persisted().isReloading());
        QCOMPARE(vm->history().migratedMappingCount(), 2);
    }

    // A reload whose scope was left while it read publishes nothing: the files it read are not
    // those of the history in use.
    void aReloadOfAScopeLeftMeanwhilePublishesNothing()
    {
        ViewModelFixture fixture;
        auto vm = fixture.makeViewModel();
        const QString guest = guestFile(QStringLiteral("mappings.jsonl"));
        JSONLStore::append(mapping(1, at(1), at(1)), guest);
        {
            HeldFile held(guest);
            startDetached(vm->persisted().reloadPersistedState());
            ViewModelInternals::context(*vm).setHistoryScope(
                LocalHistoryScope::account(QStringLiteral("a@example.com")));
            held.release();
            QTRY_VERIFY(!vm->persisted().isReloading());
        }
        QCOMPARE(vm->history().migratedMappingCount(), 0);
        QVERIFY(vm->history().migratedMappings().isEmpty());

        startDetached(vm->persisted().reloadPersistedState());
        QTRY_VERIFY(!vm->persisted().isReloading());
        QCOMPARE(vm->history().migratedMappingCount(), 0);
        ViewModelInternals::context(*vm).setHistoryScope(LocalHistoryScope::guest());
        startDetached(vm->persisted().reloadPersistedState());
        QTRY_COMPARE(vm->history().migratedMappingCount(), 1);
    }
};

QTEST_GUILESS_MAIN(PersistedHistoryTest)
#include "tst_persistedhistory.moc"
