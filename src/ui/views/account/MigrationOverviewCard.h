#pragma once

#include "ui/widgets/PlainCard.h"

#include <QStringList>

class QLabel;

namespace orvalink::ui {

class MetaChipRow;

// A summary card of the migration sync overview: title, subtitle, chips (none: no row), note.
class MigrationOverviewCard : public PlainCard {
    Q_OBJECT

public:
    explicit MigrationOverviewCard(const QString& objectName, QWidget* parent = nullptr);

    void setContent(const QString& title, const QString& subtitle, const QString& note,
                    const QStringList& chips);

private:
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    MetaChipRow* m_chips = nullptr;
    QLabel* m_note = nullptr;
};

} // namespace orvalink::ui
