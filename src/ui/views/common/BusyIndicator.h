#pragma once

class QProgressBar;
class QWidget;

namespace orvalink::ui {

// The small indeterminate progress indicator beside a label (a scan, an account request).
QProgressBar* createBusyIndicator(QWidget* parent);

} // namespace orvalink::ui
