#pragma once

#include <QDeadlineTimer>
#include <QPaintDevice>
#include <memory>

class QImage;

namespace orvalink::ui {

class DeadlinePaintEngine;

// Paints into an image until a deadline and ignores every drawing call after it, so drawing
// whose cost its author controls (a picture from a server) ends in bounded time: a painter on this
// device behaves like one on the image itself until then. A shape that spans more than 16 times
// the image on either side, its stroke included, or is stroked with a pen wider than the image, is
// left out as well, since drawing it alone can take any time. This bounds the common cases only:
// one call that starts in time still runs to its end, so untrusted drawing belongs in a process
// that can be stopped (ImageDecodeJob). The image must have a device pixel ratio of 1 while it is
// painted on. One painter at a time.
class DeadlinePaintDevice : public QPaintDevice {
public:
    DeadlinePaintDevice(QImage* target, QDeadlineTimer deadline);
    ~DeadlinePaintDevice() override;

    QPaintEngine* paintEngine() const override;
    // Whether some drawing was left out because the deadline had passed.
    bool missedDeadline() const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QImage* m_target;
    std::unique_ptr<DeadlinePaintEngine> m_engine;
};

} // namespace orvalink::ui
