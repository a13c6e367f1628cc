#pragma once

#include "model/AppConfig.h"
#include "viewmodel/flow/FlowTicket.h"
#include "viewmodel/state/BilingualText.h"
#include "viewmodel/state/ListingOptions.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace orvalink {

class DirectoryLoader;
class ViewModelContext;
class Navigator;
class PersistedStateReader;

// The settings controls. Each action changes the published `config` (and the
// published mirror of the setting, where there is one), saves it at once through saveConfig(),
// starts the reload or scan the change needs without waiting for it, and reports in the info line.
class SettingsActions : public QObject {
    Q_OBJECT

public:
    SettingsActions(ViewModelContext& context, DirectoryLoader& loader, Navigator& navigator,
                    PersistedStateReader& persisted);

    // Normalizes and publishes `config`, then writes it; a failed write shows its reason and keeps
    // the new settings in memory.
    void saveConfig();

    // A folder panel, then the chosen folder becomes the scan root (histories emptied) and is
    // listed. Returns once the panel is answered and the settings are saved.
    QCoro::Task<> selectScanRoot();
    // A folder panel open at the current target root when it exists, else at the volumes folder,
    // then setTargetRoot() with the chosen folder.
    QCoro::Task<> selectTargetRoot();
    // Under unified management only the first target root is recorded; later ones keep it.
    void setTargetRoot(const QString& path);

    // A negative size is 0. A size that is not finite, or whose byte count does not fit in 64 bits,
    // is refused and the old value kept. Otherwise a deep scan follows, also for an unchanged
    // value.
    void updateMinimumSizeMB(double megabytes);
    void updateShowHiddenFiles(bool enabled);
    // Choosing "hidden only" also lists hidden entries, which the filter needs to show any.
    void updateVisibilityFilter(VisibilityFilter filter);
    void setPresentationPrivacyEnabled(bool enabled);
    void updateRealtimeRefreshEnabled(bool enabled);
    void setStrictModeEnabled(bool enabled);
    void updateSmartMigrationEnabled(bool enabled);
    void updateSmartMigrationProfile(SmartMigrationProfile profile);
    void setLanguage(UILanguage language);
    void setUnifiedManagementEnabled(bool enabled);
    void resetManagedTargetRoot();

    QString managedTargetRootDisplayText() const;
    // The target roots as the settings in force have them: whether a first target is recorded,
    // whether unified management holds every migration to it, and the root migrations go to.
    bool hasManagedTargetRoot() const;
    bool isUnifiedTargetLocked() const;
    QString effectiveTargetRoot() const;
    // What strict mode keeps out of every migration, in display form, whatever the mode; follows
    // the home folder at each call.
    QStringList strictModeBlockedPaths() const;

    // A folder panel still open answers into nothing.
    void retire() { m_flows.retire(); }

private:
    // Applies `change` to a copy of `config`, publishes the copy and saves it.
    void changeConfig(const std::function<void(AppConfig&)>& change);
    // The info line after a switch was turned on or off.
    void announceSwitch(bool on, const BilingualText& whenOn, const BilingualText& whenOff);
    QString chooserPrompt() const;
    QString targetChooserStart() const;
    QCoro::Task<> loadNewScanRoot();

    ViewModelContext& m_context;
    DirectoryLoader& m_loader;
    Navigator& m_navigator;
    PersistedStateReader& m_persisted;
    FlowTicketSource m_flows;
};

} // namespace orvalink
