#include "WindowTestSupport.h"

#include "LayoutCheck.h"
#include "ViewModelFixture.h"

#include <QDateTime>
#include <QTest>

namespace orvalink::test {

WindowUnderTest::WindowUnderTest(MainViewModel& viewModel, ui::DashboardOptions options,
                                 std::chrono::milliseconds collapseInterval)
    : m_viewModel(viewModel)
{
    auto scripted = std::make_unique<ScriptedPromptSurface>();
    surface = scripted.get();
    window = std::make_unique<ui::MainWindow>(viewModel, std::move(options), std::move(scripted));
    window->dashboard().setActivityCollapseInterval(collapseInterval);
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->resize(1200, 760);
}

bool WindowUnderTest::showAndStart()
{
    window->show();
    return QTest::qWaitFor([this] { return window->dashboard().hasFinishedStartup(); }, 30000);
}

bool WindowUnderTest::showAndList(QSize size)
{
    window->resize(size);
    return showAndStart() && waitUntilIdle(m_viewModel);
}

ui::DashboardOptions options(std::optional<ui::QuickSheet> initialSheet, bool bootstrap)
{
    ui::DashboardOptions options;
    options.initialSheet = initialSheet;
    options.shouldRunBootstrap = bootstrap;
    return options;
}

QStringList windowWidthFaults(const QWidget& window)
{
    return widthFaults(window, {QStringLiteral("suggestionScroll")});
}

MigrationPathRecord successRecord(const QString& path)
{
    return {QUuid::createUuid(), path, QStringLiteral("/Volumes/External") + path,
            QDateTime::currentDateTimeUtc()};
}

FailedMigrationRecord failedRecord(const QString& path)
{
    FailedMigrationRecord record;
    record.id = QUuid::createUuid();
    record.sourcePath = path;
    record.targetPath = QStringLiteral("/Volumes/External") + path;
    record.failedAt = QDateTime::currentDateTimeUtc();
    record.errorMessage = QStringLiteral("The target already exists.");
    return record;
}

LeftBehindRecord leftBehindRecord(const QString& path, qsizetype count, bool copiesOnly)
{
    const LinkMapping mapping = mappingRecord(path);
    return {mapping.id, mapping, path, mapping.targetPath, count, QDateTime::currentDateTime(), copiesOnly};
}

LinkRepairRecord linkRepairRecord(const QString& path, bool repaired)
{
    return {QUuid::createUuid(), path,
            (repaired ? QStringLiteral("/Volumes/Renamed") : QStringLiteral("/Volumes/External")) + path,
            repaired, QDateTime::currentDateTime()};
}

LinkMapping mappingRecord(const QString& source)
{
    LinkMapping mapping;
    mapping.id = QUuid::createUuid();
    mapping.sourcePath = source;
    mapping.targetPath = QStringLiteral("/Volumes/External") + source;
    mapping.createdAt = QDateTime::currentDateTimeUtc();
    mapping.updatedAt = mapping.createdAt;
    return mapping;
}

} // namespace orvalink::test
