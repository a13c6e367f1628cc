#pragma once

#include "ui/widgets/PlainCard.h"

#include <QColor>
#include <QDateTime>
#include <optional>

class QLabel;

namespace orvalink {
class MainViewModel;
}

namespace orvalink::ui {

class AccentDot;
class MetaChipRow;

// What a device card shows; the fingerprint as the service knows it (the card masks it).
struct DeviceCardFacts {
    QString title;
    QString subtitle;
    QString fingerprint;
    qint64 mappingCount = 0;
    qint64 taskCount = 0;
    std::optional<QDateTime> latestActivityAt;
    QColor accent;
};

// One device of the account: a dot in the accent, the title and the masked fingerprint, its chips,
// the subtitle. The same card follows its device across refreshes: setFacts() updates it in place.
class MigrationDeviceCard : public PlainCard {
    Q_OBJECT

public:
    MigrationDeviceCard(MainViewModel& viewModel, QWidget* parent = nullptr);

    void setFacts(const DeviceCardFacts& facts);

private:
    MainViewModel& m_viewModel;
    AccentDot* m_dot = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_fingerprint = nullptr;
    MetaChipRow* m_chips = nullptr;
    QLabel* m_subtitle = nullptr;
};

} // namespace orvalink::ui
