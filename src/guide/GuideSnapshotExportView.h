#pragma once

#include <QWidget>

namespace orvalink::guide {

// The small window shown while the pictures are exported: a busy bar and a fixed English line. On
// its first showing it starts the export too; the export itself runs once per process.
class GuideSnapshotExportView : public QWidget {
    Q_OBJECT

public:
    explicit GuideSnapshotExportView(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_exportStarted = false;
};

} // namespace orvalink::guide
