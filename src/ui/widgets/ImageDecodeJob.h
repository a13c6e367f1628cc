#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QTimer>
#include <chrono>

namespace orvalink::ui {

// What one decoding may take. The address space covers the whole decoder process (its program
// and libraries take about a third of the default), the processor time is counted by the kernel,
// the wall clock by the job. The processor time bounds the work; the wall clock only stops a
// decoder that waits instead of working, and it also counts the start of the process, which on a
// busy machine alone can take seconds.
struct ImageDecodeLimits {
    qint64 addressSpaceBytes = qint64(256) << 20;
    int cpuSeconds = 2;
    std::chrono::milliseconds wallClock{10000};
};

// Decodes an image data URL (DataUrlImage) into a bitmap in a short-lived process of its own, the
// program orvalink-image-decoder, so that no picture can hold the calling thread or grow its
// memory, whatever its bytes make the decoder do: the process runs under the kernel's limits on
// address space and processor time, is killed when the wall clock runs out, and hands back exactly
// the bitmap's pixels or nothing. The calling thread only starts the process and reads at most
// the bitmap's size from its pipe, in its event loop; it never waits for it.
class ImageDecodeJob : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Drawn,     // the bitmap
        NoPicture, // the URL is not a usable image, or no decoder program may or could run
        OverTime,  // killed when the wall clock ran out
        Stopped,   // ended by a signal: the processor-time limit, or a failed allocation
    };
    Q_ENUM(Outcome)

    // The largest bitmap a job hands back, on either side.
    static constexpr int kMaxSide = 2048;

    // Starts decoding `url` stretched over `pixels` device pixels. finished() follows exactly
    // once, never before this returns, unless the job is abandoned; then the job deletes itself.
    static ImageDecodeJob* start(const QString& url, QSize pixels, const ImageDecodeLimits& limits = {});

    // Stops the decoding without reporting it: the process is killed and the job deletes itself
    // once it has ended. The job must not be used afterwards.
    void abandon();

    // The decoder program this application may run (DecoderProgram::builtIn()): installed beside
    // it (in the library-executables folder next to its binary folder), else, while it runs from
    // its build tree, the one built there. Empty when neither passes the check: every job then
    // reports NoPicture.
    static QString program();

Q_SIGNALS:
    // A null bitmap unless `outcome` is Drawn.
    void finished(const QImage& bitmap, orvalink::ui::ImageDecodeJob::Outcome outcome);

private:
    ImageDecodeJob(QSize pixels, const ImageDecodeLimits& limits);

    void run(const QByteArray& url);
    void readOutput();
    void processEnded(int exitCode, QProcess::ExitStatus status);
    void report(Outcome outcome, const QImage& bitmap = {});

    QProcess m_process;
    QTimer m_wallClock;
    QSize m_pixels;
    ImageDecodeLimits m_limits;
    QByteArray m_output;
    bool m_overTime = false;
    bool m_overflowed = false;
    bool m_abandoned = false;
    bool m_reported = false;
};

} // namespace orvalink::ui
