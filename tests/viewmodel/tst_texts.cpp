#include "model/OrvalinkError.h"
#include "platform/UserLocations.h"
#include "support/TestHome.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/WorkflowRecords.h"
#include "viewmodel/texts/BrowsingTexts.h"
#include "viewmodel/texts/MigrationFailureText.h"
#include "viewmodel/texts/PresentationPrivacy.h"

#include <QTest>
#include <cerrno>
#include <ctime>

using namespace orvalink;

Q_DECLARE_METATYPE(orvalink::UILanguage)

namespace {

// Home /home/alice of the user alice on a system that mounts volumes below /media/alice.
PresentationPrivacy privacy(bool enabled, UILanguage language = UILanguage::english)
{
    return PresentationPrivacy(enabled, PrivacyLocations::of("/home/alice", "/media/alice", "alice"),
                               language);
}

} // namespace

class TextsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void localized_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("zh");
        QTest::addColumn<QString>("en");
        QTest::addColumn<QString>("result");
        QTest::newRow("chinese") << UILanguage::chinese << "中"
                                 << "en"
                                 << "中";
        QTest::newRow("english") << UILanguage::english << "中"
                                 << "en"
                                 << "en";
        QTest::newRow("bilingual") << UILanguage::bilingual << "中"
                                   << "en"
                                   << "中 en";
        QTest::newRow("english, empty english") << UILanguage::english << "中"
                                                << ""
                                                << "";
        QTest::newRow("bilingual, empty chinese") << UILanguage::bilingual << ""
                                                  << "en"
                                                  << " en";
        QTest::newRow("nothing trimmed") << UILanguage::bilingual << " a "
                                         << " b "
                                         << " a   b ";
    }

    void localized()
    {
        QFETCH(UILanguage, language);
        QFETCH(QString, zh);
        QFETCH(QString, en);
        QTEST(BilingualText(zh, en).in(language), "result");
    }

    // A text made of pieces reads in each setting as the same text made whole in that setting: a
    // joined text as its pieces one after the other, a text put into another in the language of the
    // half it stands in (never both languages inside one half), and in a piece that reads the same in
    // both as itself in that setting.
    void composedTexts_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("joined");
        QTest::addColumn<QString>("nested");
        QTest::addColumn<QString>("inSame");
        QTest::newRow("chinese") << UILanguage::chinese << "已完成。 /a"
                                 << "已切换为 微信列表（/a%2）。"
                                 << "/a: 微信列表";
        QTest::newRow("english") << UILanguage::english << "Done. /a"
                                 << "Switched to WeChat List (/a%2)."
                                 << "/a: WeChat List";
        QTest::newRow("bilingual") << UILanguage::bilingual << "已完成。 Done. /a"
                                   << "已切换为 微信列表（/a%2）。 Switched to WeChat List (/a%2)."
                                   << "/a: 微信列表 WeChat List";
    }

    void composedTexts()
    {
        QFETCH(UILanguage, language);
        const BilingualText done("已完成。", "Done.");
        QTEST((done + QStringLiteral(" ") + BilingualText::same("/a")).in(language), "joined");
        // A value holding a place marker is put in as it is: one pass, as QString::arg.
        const BilingualText name("微信列表", "WeChat List");
        QTEST(BilingualText("已切换为 %1（%2）。", "Switched to %1 (%2).")
                  .arg(name, QStringLiteral("/a%2"))
                  .in(language),
              "nested");
        QTEST(BilingualText::same("%2: %1").arg(name, QStringLiteral("/a")).in(language), "inSame");
        QCOMPARE(BilingualText::same("x").in(language), QStringLiteral("x"));
        QVERIFY(BilingualText().isEmpty() && BilingualText("", "").isEmpty() &&
                !BilingualText::same("x").isEmpty());
        // However a text was put together, the same text compares equal.
        QCOMPARE(BilingualText::same("a") + BilingualText::same("b"), BilingualText::same("ab"));
        QCOMPARE(BilingualText("%1!", "%1!").arg(QStringLiteral("x")), BilingualText("x!", "x!"));
    }

    // A reason of the disk operations (already in both languages) put into a sentence: each half
    // holds the reason once, in its own language, and the whole line reads as both halves in turn.
    void reasonInsideSentence_data()
    {
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("line");
        const QString zh = QStringLiteral(
            "迁移完成。成功：0，失败：1。首个失败原因：目录正在被这些程序占用：python3。你可以先手动关闭，"
            "或者在失败项里点“终止占用程序并重试”。");
        const QString en =
            QStringLiteral("Migration done. Success: 0, failed: 1. First failure: The directory is "
                           "in use by: python3. Close them first, or use Terminate Holders and "
                           "Retry from the failed item.");
        QTest::newRow("chinese") << UILanguage::chinese << zh;
        QTest::newRow("english") << UILanguage::english << en;
        QTest::newRow("bilingual") << UILanguage::bilingual << zh + QLatin1Char(' ') + en;
    }

    void reasonInsideSentence()
    {
        QFETCH(UILanguage, language);
        const BilingualText reason = failureCaseText(OrvalinkError::Case::sourceInUse, {"python3"});
        const BilingualText summary("迁移完成。成功：%1，失败：%2。首个失败原因：%3",
                                    "Migration done. Success: %1, failed: %2. First failure: %3");
        const QString line = summary.arg(QStringLiteral("0"), QStringLiteral("1"), reason).in(language);
        QTEST(line, "line");
        QVERIFY(line.count(QStringLiteral("python3")) == (language == UILanguage::bilingual ? 2 : 1));
        // A sentence that is itself made of a reason in a sentence, as the sign-out status is.
        const BilingualText outer = BilingualText("服务器退出失败：%1", "Server logout failed: %1")
                                        .arg(BilingualText("本地：%1", "Local: %1").arg(reason));
        const QString twice = outer.in(language);
        QCOMPARE(twice.count(QStringLiteral("目录正在被")), language == UILanguage::english ? 0 : 1);
        QCOMPARE(twice.count(QStringLiteral("The directory")), language == UILanguage::chinese ? 0 : 1);
        if (language == UILanguage::bilingual)
            QVERIFY(twice.indexOf(QStringLiteral("目录正在被")) <
                    twice.indexOf(QStringLiteral("Server logout")));
    }

    // A failure reads by its case and its programs, never by its English description: the error as
    // raised and a failed item's record of it, whose message reads otherwise, say the same.
    void failureTextsComeFromTheCase_data()
    {
        QTest::addColumn<int>("error"); // in failures()
        QTest::addColumn<QString>("en");
        QTest::addColumn<QString>("zh");
        QTest::newRow("target exists")
            << 0
            << "The target path already exists. Residual content is already present on the target disk. "
               "Use Force Migrate from the failed item to choose append or overwrite."
            << "目标位置已存在同名目录或文件。通常是目标盘里已经有同一路径的残留内容。你可以在失败项里选择“强"
               "制迁"
               "移”，再决定追加迁移或覆盖迁移。";
        QTest::newRow("held, a dot in the name")
            << 1
            << "The directory is in use by: python3.11. Close them first, or use Terminate Holders and "
               "Retry from the failed item."
            << "目录正在被这些程序占用：python3.11。你可以先手动关闭，或者在失败项里点“终止占用程序并重试”。";
        QTest::newRow("held by many, each once")
            << 2
            << "The directory is in use by: a, b, c, d, e and 2 more. Close them first, or use Terminate "
               "Holders and Retry from the failed item."
            << "目录正在被这些程序占用：a、b、c、d、e 以及另外 2 "
               "个。你可以先手动关闭，或者在失败项里点“终止占用程"
               "序并重试”。";
        QTest::newRow("held, no names")
            << 3
            << "The directory is currently in use. Close the related apps first, or use Terminate Holders "
               "and Retry from the failed item."
            << "目录正在被相关应用、终端或系统进程占用。你可以先手动关闭，或者在失败项里点“终止占用程序并重试"
               "”。";
        QTest::newRow("container root") << 4
                                        << "This path is protected or high-risk and should not be migrated "
                                           "directly."
                                        << "该目录属于受保护或高风险位置，不建议直接迁移。";
        QTest::newRow("undo target missing, chinese path")
            << 5 << "Undo is blocked because the mapped target path is missing."
            << "无法反悔，因为已迁移目标目录不存在。";
        QTest::newRow("history not written")
            << 6
            << "The migration could not be written to the history (the disk may be full or read-only), so "
               "it was taken back: the data is at its original location again."
            << "迁移无法写入历史记录（磁盘可能已满或只读），因此已撤回：数据已回到原来的位置。";
        QTest::newRow("nothing to undo") << 7 << "No migration record available to undo."
                                         << "没有可反悔的迁移记录。";
        QTest::newRow("no space") << 8 << "The target disk does not have enough free space."
                                  << "目标磁盘空间不足，请先释放空间后再试。";
        QTest::newRow("kept changing")
            << 9
            << "/home/alice/Notes/log.txt kept changing while it was copied, so the migration was taken "
               "back and the folder is at its original place. Close the program that writes to it, then "
               "try again."
            << "/home/alice/Notes/log.txt 在复制期间一直在变化，迁移已撤回，"
               "目录仍在原来的位置。请先关闭正在写入它的程序再试。";
        QTest::newRow("written while the original was being removed")
            << 15
            << "/home/alice/Notes/log.txt was written while the original was being removed, so the "
               "migration was taken back and the folder is at its original place. Close the program that "
               "writes to it, then try again."
            << "/home/alice/Notes/log.txt 在删除原件期间被写入，迁移已撤回，"
               "目录仍在原来的位置。请先关闭正在写入它的程序再试。";
        QTest::newRow("a volume without links")
            << 10
            << "The external disk's file system (exFAT) cannot keep symbolic links; the first entry "
               "concerned is /home/alice/Projects/shortcut. Nothing was moved."
            << "外置磁盘的文件系统（exFAT）无法保留符号链接，"
               "首个涉及的项目：/home/alice/Projects/shortcut。没有移动任何内容。";
        QTest::newRow("a volume that refuses a name")
            << 11
            << "The external disk's file system (FAT) cannot keep some characters in names; the first entry "
               "concerned is /home/alice/照片/a:b?.txt. Nothing was moved."
            << "外置磁盘的文件系统（FAT）无法保留名称中的某些字符，"
               "首个涉及的项目：/home/alice/照片/a:b?.txt。没有移动任何内容。";
        QTest::newRow("a volume that cannot be told")
            << 12
            << "Which disk /media/alice/Disk/Store lies on could not be told, so whether that disk can keep "
               "the folder as it is could not be tried. Nothing was moved."
            << "无法确认 /media/alice/Disk/Store "
               "位于哪个外置磁盘上，因此无法检查该磁盘能否完整保留这个文件夹。"
               "没有移动任何内容。";
        QTest::newRow("a copy hidden by a mount before the original went")
            << 13
            << "The copy of /home/alice/Notes on the external disk was hidden by a file system mounted at "
               "/media/alice/Disk/Store before the original went, so the migration was taken back and the "
               "folder is at its original place."
            << "外置磁盘上 /home/alice/Notes 的副本在原件删除之前被挂载在 /media/alice/Disk/Store "
               "的文件系统遮住了，因此迁移已撤回，目录仍在原来的位置。";
        QTest::newRow("a copy hidden by a mount after the original went")
            << 14
            << "The original is gone; its copy is whole at /media/alice/Disk/Store/home/alice/Notes, hidden "
               "under the file system mounted at /media/alice/Disk/Store. Unmount that file system, and the "
               "next start finishes the migration."
            << "原件已删除，副本完整地保存在 /media/alice/Disk/Store/home/alice/Notes，但被挂载在 "
               "/media/alice/Disk/Store 的文件系统遮住了。请卸载该文件系统，下次启动时会完成迁移。";
    }

    void failureTextsComeFromTheCase()
    {
        QFETCH(int, error);
        const QList<OrvalinkError> failures{
            OrvalinkError::targetAlreadyExists("/media/alice/Disk/Store/home/alice/Alpha"),
            OrvalinkError::sourceInUse("/home/alice/照片", {"python3.11"}),
            OrvalinkError::sourceInUse("/home/alice/Alpha", {"a", "b", "c", "d", "e", "f", "a", "g"}),
            OrvalinkError::sourceInUse("/home/alice/Alpha", {}),
            OrvalinkError::disallowedPath("/home/alice/Library/Containers/com.example"),
            OrvalinkError::undoMappingBroken("/media/外置/Store/data/照片"),
            OrvalinkError::historyNotWritten("/s/history/guest/mappings.jsonl",
                                             {"No space left on device", ENOSPC, false, {}}),
            OrvalinkError::undoTargetNotFound(),
            OrvalinkError::insufficientSpace(10, 5),
            OrvalinkError::copyFallsShort("/home/alice/Notes", "/media/alice/Disk/Store/home/alice/Notes",
                                          CopyShortfall::keptChanging("/home/alice/Notes/log.txt")),
            OrvalinkError::copyFallsShort(
                "/home/alice/Projects", "/media/alice/Disk/Store/home/alice/Projects",
                CopyShortfall::volumeCannotKeep("exFAT", platform::Unkept::symbolicLinks,
                                                "/home/alice/Projects/shortcut")),
            OrvalinkError::copyFallsShort(
                "/home/alice/照片", "/media/alice/Disk/Store/home/alice/照片",
                CopyShortfall::volumeCannotKeep("FAT", platform::Unkept::names, "/home/alice/照片/a:b?.txt")),
            OrvalinkError::copyFallsShort(
                "/home/alice/Notes", "/media/alice/Disk/Store/home/alice/Notes",
                CopyShortfall::volumeUntold("/media/alice/Disk/Store",
                                            "the system does not tell which volume it lies on")),
            OrvalinkError::copyFallsShort(
                "/home/alice/Notes", "/media/alice/Disk/Store/home/alice/Notes",
                CopyShortfall::copyHidden("/home/alice/Notes", "/media/alice/Disk/Store")),
            OrvalinkError::copyFallsShort(
                "/home/alice/Notes", "/media/alice/Disk/Store/home/alice/Notes",
                CopyShortfall::copyHiddenAfterRemoval("/media/alice/Disk/Store/home/alice/Notes",
                                                      "/media/alice/Disk/Store")),
            OrvalinkError::copyFallsShort("/home/alice/Notes", "/media/alice/Disk/Store/home/alice/Notes",
                                          CopyShortfall::writtenInRemoval("/home/alice/Notes/log.txt"))};
        const OrvalinkError& failure = failures.at(error);
        FailedMigrationRecord record;
        record.status = TaskStatus::rolledBack;
        record.errorCode = failure.code();
        record.processes = failure.processes();
        record.shortfall = failure.shortfall();
        record.errorMessage = QStringLiteral("Reworded: the engine says this another way now.");
        const BilingualText fromRecord = failedItemText(record);
        const BilingualText raised = localizedMigrationFailureMessage(std::make_exception_ptr(failure));
        QTEST(fromRecord.in(UILanguage::english), "en");
        QTEST(fromRecord.in(UILanguage::chinese), "zh");
        QCOMPARE(raised, fromRecord);
    }

    // A failed item without a case is said by its message, or without one by its status.
    void failedItemWithoutACase()
    {
        FailedMigrationRecord record;
        record.status = TaskStatus::rolledBack;
        QCOMPARE(failedItemText(record).in(UILanguage::bilingual),
                 QStringLiteral("迁移失败，已自动回滚。 Migration failed and was rolled back."));
        record.status = TaskStatus::failed;
        QCOMPARE(failedItemText(record).in(UILanguage::english), QStringLiteral("Migration failed."));
        record.errorMessage = QStringLiteral("管理员授权已取消。");
        QCOMPARE(failedItemText(record).in(UILanguage::english), record.errorMessage);
        // A code no case has is no case.
        record.errorCode = QStringLiteral("E999");
        record.errorMessage = QStringLiteral("Something odd");
        QVERIFY(failedItemText(record).in(UILanguage::english).startsWith("Migration failed. Check "));
    }

    // Taken back with what a program wrote while it was copied in place: the reason says where the
    // versions it replaced were kept, after why it was taken back.
    void failedItemNamesTheOlderVersions()
    {
        FailedMigrationRecord record;
        record.status = TaskStatus::rolledBack;
        record.errorCode = QStringLiteral("E008");
        record.shortfall = CopyShortfall::writtenInRemoval("/home/alice/Notes/log.txt");
        record.olderVersions = {"/home/alice/Notes/.log.txt.orvalink-append-preserved-A",
                                "/home/alice/Notes/.a.txt.orvalink-append-preserved-B"};
        const BilingualText text = failedItemText(record);
        QCOMPARE(
            text.in(UILanguage::english),
            "/home/alice/Notes/log.txt was written while the original was being removed, so the migration "
            "was taken back and the folder is at its original place. Close the program that writes to it, "
            "then try again. The newer versions written while it moved are in place; the ones they replaced "
            "were kept at: /home/alice/Notes/.log.txt.orvalink-append-preserved-A, "
            "/home/alice/Notes/.a.txt.orvalink-append-preserved-B.");
        QCOMPARE(text.in(UILanguage::chinese),
                 "/home/alice/Notes/log.txt 在删除原件期间被写入，迁移已撤回，目录仍在原来的位置。"
                 "请先关闭正在写入它的程序再试。 迁移期间写入的较新版本已放回原处，被替换的旧版本保留在："
                 "/home/alice/Notes/.log.txt.orvalink-append-preserved-A、"
                 "/home/alice/Notes/.a.txt.orvalink-append-preserved-B。");
    }

    void locationsOfTheLinuxLayout()
    {
        const PrivacyLocations locations = PrivacyLocations::of("/home/alice/", "/media/alice");
        QCOMPARE(locations.homeDirectory, QStringLiteral("/home/alice"));
        QCOMPARE(locations.usersDirectory, std::optional<QString>("/home"));
        QCOMPARE(locations.userFolderParents(), QStringList({"/home", "/Users"}));
        QCOMPARE(locations.volumeParents(), QStringList({"/media/alice", "/Volumes"}));
        // root's home has no folder of home folders.
        QCOMPARE(PrivacyLocations::of("/root", "/media").usersDirectory, std::nullopt);
    }

    void displayPath_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("off: trimmed, not standardized") << false << " /home/alice/./x/ \n"
                                                        << "/home/alice/./x/";
        QTest::newRow("on: relative path unchanged") << true << "docs/a"
                                                     << "docs/a";
        QTest::newRow("on: tilde path unchanged") << true << "~/docs"
                                                  << "~/docs";
        QTest::newRow("on: blank") << true << "  "
                                   << "";
        QTest::newRow("home with slash") << true << "/home/alice/"
                                         << "~";
        QTest::newRow("inside home, standardized") << true << "/home/alice/Documents/../Desktop"
                                                   << "~/Desktop";
        QTest::newRow("another user") << true << "/home/bob/Movies"
                                      << "/home/demo/Movies";
        QTest::newRow("sibling of home sharing its prefix") << true << "/home/alice2/x"
                                                            << "/home/demo/x";
        QTest::newRow("volume") << true << "/media/alice/Backup/Moved"
                                << "/media/demo/ExternalDisk/Moved";
        QTest::newRow("volumes folder alone") << true << "/media/alice/"
                                              << "/media/demo";
        QTest::newRow("parent of the volumes folder") << true << "/media"
                                                      << "/media";
        QTest::newRow("off: the login name stays") << false << "/media/alice/Backup"
                                                   << "/media/alice/Backup";
        QTest::newRow("macOS user folder") << true << "/Users/bob/Movies"
                                           << "/Users/demo/Movies";
        // A target mirrors its source's whole path below the target root.
        QTest::newRow("home mirrored inside a volume path")
            << true << "/media/alice/Backup/Store/home/alice/Movies"
            << "/media/demo/ExternalDisk/Store/home/demo/Movies";
        QTest::newRow("home mirrored inside another user's path") << true << "/home/bob/copy/home/alice/x"
                                                                  << "/home/demo/copy/home/demo/x";
        QTest::newRow("home mirrored below a target outside the volumes folder")
            << true << "/mnt/backup/Store/home/alice/Downloads"
            << "/mnt/backup/Store/home/demo/Downloads";
        QTest::newRow("home name alone elsewhere is no home") << true << "/mnt/backup/alice/x"
                                                              << "/mnt/backup/alice/x";
        QTest::newRow("longer name elsewhere") << true << "/mnt/home/alice2/x"
                                               << "/mnt/home/alice2/x";
        QTest::newRow("macOS volume") << true << "/Volumes/Backup/Moved"
                                      << "/Volumes/ExternalDisk/Moved";
        QTest::newRow("macOS volumes alone") << true << "/Volumes"
                                             << "/Volumes";
        QTest::newRow("elsewhere") << true << "/usr/share/applications/x"
                                   << "/usr/share/applications/x";
    }

    void displayPath()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, path);
        QTEST(privacy(enabled).displayPath(path), "shown");
    }

    void displayName_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<UILanguage>("language");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        const auto en = UILanguage::english;
        QTest::newRow("root, off") << false << en << "/"
                                   << "/";
        QTest::newRow("root, on") << true << en << "/"
                                  << "/";
        QTest::newRow("off: last component") << false << en << "/home/bob/"
                                             << "bob";
        QTest::newRow("home") << true << en << "/home/alice"
                              << "~";
        QTest::newRow("other user") << true << en << "/home/bob"
                                    << "demo";
        QTest::newRow("volume root") << true << en << "/media/alice/Backup"
                                     << "External Disk";
        QTest::newRow("volume root in chinese")
            << true << UILanguage::chinese << "/media/alice/Backup" << QStringLiteral("外置盘");
        QTest::newRow("volumes folder") << true << en << "/media/alice/"
                                        << "demo";
        QTest::newRow("off: volumes folder") << false << en << "/media/alice"
                                             << "alice";
        QTest::newRow("inside home") << true << en << "/home/alice/Documents"
                                     << "Documents";
        QTest::newRow("inside a volume") << true << en << "/media/alice/Backup/Moved"
                                         << "Moved";
        QTest::newRow("macOS user") << true << en << "/Users/bob"
                                    << "demo";
        QTest::newRow("macOS volume") << true << en << "/Volumes/Backup"
                                      << "External Disk";
    }

    void displayName()
    {
        QFETCH(bool, enabled);
        QFETCH(UILanguage, language);
        QFETCH(QString, path);
        QTEST(privacy(enabled, language).displayName(path), "shown");
    }

    void displayVolumeName()
    {
        VolumeInfo volume;
        volume.name = QStringLiteral("Backup");
        QCOMPARE(privacy(false).displayVolumeName(volume, 2), QStringLiteral("Backup"));
        QCOMPARE(privacy(true).displayVolumeName(volume, 2), QStringLiteral("External Disk 2"));
        QCOMPARE(privacy(true, UILanguage::chinese).displayVolumeName(volume, 2), QStringLiteral("外置盘 2"));
        QCOMPARE(privacy(true, UILanguage::bilingual).displayVolumeName(volume, 1),
                 QStringLiteral("外置盘 1 External Disk 1"));
    }

    void displayEmail_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("shown");
        const QString placeholder = PresentationPrivacy::placeholderEmail();
        QTest::newRow("off: trimmed") << false << " Alice@Example.com "
                                      << "Alice@Example.com";
        QTest::newRow("two labels") << true << "alice@example.com"
                                    << "al***@e***.com";
        QTest::newRow("three labels keep the last two") << true << "bob@mail.example.co"
                                                        << "bo***@m***.example.co";
        QTest::newRow("one-character local part") << true << "a@example.com"
                                                  << "a***@e***.com";
        QTest::newRow("domain without a dot") << true << "alice@localhost"
                                              << "al***@l***";
        QTest::newRow("no at sign") << true << "alice" << placeholder;
        QTest::newRow("at sign first") << true << "@example.com" << placeholder;
        QTest::newRow("at sign last") << true << "alice@" << placeholder;
        QTest::newRow("blank") << true << "   "
                               << "";
        QTest::newRow("further at signs stay in the domain") << true << "al@b@c.d"
                                                             << "al***@b***.d";
    }

    void displayEmail()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, email);
        QTEST(privacy(enabled).displayEmail(email), "shown");
    }

    void placeholderIsReservedAndNotRoutable()
    {
        QVERIFY(PresentationPrivacy::placeholderEmail().endsWith(QLatin1String(".invalid")));
    }

    void sanitized_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("everything at once")
            << "Moving /home/alice/Data to /media/alice/Backup/x failed for /home/bob/y, tell "
               "alice@example.com"
            << "Moving ~/Data to /media/demo/ExternalDisk/x failed for /home/demo/y, tell al***@e***.com";
        QTest::newRow("the volumes folder itself") << "Nothing mounted in /media/alice."
                                                   << "Nothing mounted in /media/demo.";
        QTest::newRow("home only at a component boundary")
            << "/home/alice2/a and /home/alice.bak and /home/alice"
            << "/home/demo/a and /home/demo and ~";
        QTest::newRow("home before punctuation") << "(/home/alice). '/home/alice/x'."
                                                 << "(~). '~/x'.";
        QTest::newRow("home inside another path")
            << "Moved /home/alice/Downloads to /mnt/backup/Store/home/alice/Downloads and "
               "/media/alice/Disk/Store/home/alice/x"
            << "Moved ~/Downloads to /mnt/backup/Store/home/demo/Downloads and "
               "/media/demo/ExternalDisk/Store/home/demo/x";
        QTest::newRow("home between marks") << "at:/home/alice/x “/home/alice”"
                                            << "at:~/x “~”";
        QTest::newRow("home before a full stop of a Chinese text") << "已保留在 /home/alice。"
                                                                   << "已保留在 ~。";
        QTest::newRow("macOS spellings") << "/Users/carol/x on /Volumes/Disk 2/y"
                                         << "/Users/demo/x on /Volumes/ExternalDisk 2/y";
        QTest::newRow("two addresses") << "a.b@x.org, C@Y.ORG"
                                       << "a.***@x***.org, C***@Y***.ORG";
        QTest::newRow("nothing personal") << "Disk full"
                                          << "Disk full";
    }

    void sanitized()
    {
        QFETCH(QString, text);
        QTEST(privacy(true).sanitizedForPresentation(text), "shown");
        QCOMPARE(privacy(false).sanitizedForPresentation(text), text);
    }

    // Where the volumes folder carries the login name, no masked text shows it: not a path, not a
    // breadcrumb of that path, not a message, not a volume's name.
    void loginNameNeverShows_data()
    {
        QTest::addColumn<QString>("volumes");
        QTest::newRow("/media/<user>") << "/media/alice";
        QTest::newRow("/run/media/<user>") << "/run/media/alice";
    }
    void loginNameNeverShows()
    {
        QFETCH(QString, volumes);
        for (const UILanguage language : {UILanguage::english, UILanguage::chinese, UILanguage::bilingual}) {
            const PresentationPrivacy masked(true, PrivacyLocations::of("/home/alice", volumes, "alice"),
                                             language);
            const QString path = volumes + "/Backup/Moved";
            QStringList shown{masked.displayPath(path), masked.displayPath(volumes),
                              masked.sanitizedForPresentation("Cannot move /home/alice/Movies to " + path +
                                                              ": no space left on " + volumes + "/Backup.")};
            QString crumb;
            for (const QString& piece : volumes.split('/', Qt::SkipEmptyParts)) {
                crumb += '/' + piece;
                shown << masked.displayName(crumb) << masked.displayPath(crumb);
            }
            VolumeInfo volume;
            volume.name = QStringLiteral("alice");
            volume.mountPath = volumes + "/alice";
            shown << masked.displayVolumeName(volume, 1) << masked.displayPath(volume.mountPath);
            for (const QString& text : shown)
                QVERIFY2(!text.contains(QLatin1String("alice")), qPrintable(text));
            QCOMPARE(masked.displayPath(path), volumes.section('/', 0, -2) + "/demo/ExternalDisk/Moved");
        }
    }

    void nestedVolumesFolderIsMaskedAsVolumes()
    {
        // A volumes folder inside the folder of home folders: a volume is shown as a volume.
        const PresentationPrivacy nested(true, PrivacyLocations::of("/srv/home/alice", "/srv/home/volumes"),
                                         UILanguage::english);
        QCOMPARE(nested.displayPath("/srv/home/volumes/Disk/a"),
                 QStringLiteral("/srv/home/volumes/ExternalDisk/a"));
        QCOMPARE(nested.sanitizedForPresentation("at /srv/home/volumes/Disk/a"),
                 QStringLiteral("at /srv/home/volumes/ExternalDisk/a"));
        QCOMPARE(nested.displayName("/srv/home/volumes/Disk"), QStringLiteral("External Disk"));
    }

    void rootHomeIsNotTurnedIntoTildes()
    {
        const PresentationPrivacy rootless(true, PrivacyLocations::of("/", "/media"), UILanguage::english);
        QCOMPARE(rootless.sanitizedForPresentation("/etc/x"), QStringLiteral("/etc/x"));
    }

    void currentLocationsComeFromTheEnvironment()
    {
        test::TestHome home;
        QVERIFY(home.isValid());
        const PrivacyLocations locations = PrivacyLocations::current();
        QCOMPARE(locations.homeDirectory, home.home());
        QCOMPARE(locations.usersDirectory, std::optional<QString>(home.root()));
        QCOMPARE(locations.volumesDirectory, home.volumes());
        QCOMPARE(locations.userName, platform::userName());
    }

    void containersNotice()
    {
        const QString home = QStringLiteral("/home/alice");
        const auto notice = currentDirectoryContainersNoticeText("/home/alice/Library/Containers/", home);
        QVERIFY(notice);
        QCOMPARE(notice->in(UILanguage::english),
                 QStringLiteral("This directory is not recommended for migration. Only move deep "
                                "large-data folders inside app containers, not the container root."));
        QVERIFY(notice->in(UILanguage::chinese).startsWith(QStringLiteral("该目录不建议迁移。")));
        QVERIFY(currentDirectoryContainersNoticeText("/home/alice/Library/Containers", home));
        QVERIFY(!currentDirectoryContainersNoticeText("/home/alice/Library/Containers/x", home));
        QVERIFY(!currentDirectoryContainersNoticeText("/home/alice/Library", home));
    }

    void pathActionTexts()
    {
        QCOMPARE(pathCopiedText().in(UILanguage::bilingual), QStringLiteral("已复制路径。 Path copied."));
        QCOMPARE(revealTargetPath("  "), std::nullopt);
        QCOMPARE(revealTargetPath(" /home/alice/./a/../b/ "), std::optional<QString>("/home/alice/b"));
        QCOMPARE(pathDoesNotExistText("/x/y").in(UILanguage::chinese), QStringLiteral("路径不存在：/x/y"));
        QCOMPARE(pathDoesNotExistText("/x/y").in(UILanguage::english),
                 QStringLiteral("Path does not exist: /x/y"));
    }

    void dateFollowsTheLocaleWithSeconds()
    {
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        const QByteArray savedZone = qgetenv("TZ");
        qputenv("TZ", "UTC");
        tzset();
        const QDateTime date(QDate(2024, 1, 2), QTime(15, 4, 5), Qt::UTC);
        const QString us = formatDate(date, QLocale(QLocale::English, QLocale::UnitedStates));
        const QString german = formatDate(date, QLocale(QLocale::German, QLocale::Germany));
        if (hadZone)
            qputenv("TZ", savedZone);
        else
            qunsetenv("TZ");
        tzset();
        QCOMPARE(us, QStringLiteral("1/2/24, 3:04:05\u202fPM").replace(QChar(0x202f), QStringLiteral(" ")));
        QCOMPARE(german, QStringLiteral("02.01.24, 15:04:05"));
    }
};

QTEST_GUILESS_MAIN(TextsTest)
#include "tst_texts.moc"
