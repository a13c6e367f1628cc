#pragma once

#include <QFrame>

namespace orvalink::ui {

// The plain card of the sheets: a square fill of the control background colour (the palette's
// base), without stroke or shadow. The owner sets its layout (see cardColumn).
class PlainCard : public QFrame {
    Q_OBJECT

public:
    explicit PlainCard(const QString& objectName, QWidget* parent = nullptr);
};

} // namespace orvalink::ui
