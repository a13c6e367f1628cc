#pragma once

#include <QProgressBar>
#include <QSize>

namespace orvalink::ui {

// The small indeterminate bar that shows work is running (a scan, an account request, an undo). It
// is always `size`, whatever room the layout offers. It starts hidden: the owner shows it while the
// work it stands for runs.
class BusyIndicator : public QProgressBar {
    Q_OBJECT

public:
    // The sizes the window uses: in the sidebar's rows, in a sheet's header or button row, and
    // beside a status line of the detail column.
    static constexpr QSize Compact{36, 8};
    static constexpr QSize Standard{48, 8};
    static constexpr QSize Slim{48, 6};

    BusyIndicator(const QString& objectName, QSize size, QWidget* parent);
};

} // namespace orvalink::ui
