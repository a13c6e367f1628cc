#include "ui/widgets/ImageDecodeJob.h"

#include "ui/widgets/DataUrlImage.h"
#include "ui/widgets/DecoderProgram.h"

#include <QCoreApplication>
#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace orvalink::ui {

namespace {

constexpr qsizetype kBytesPerPixel = 4;

using Resource = decltype(RLIMIT_AS);

// Runs in the child between fork and exec, so it makes system calls only. A limit that cannot be
// set ends the child before it decodes anything.
void lowerLimit(Resource resource, rlim_t soft, rlim_t hard)
{
    rlimit current{};
    if (getrlimit(resource, &current) != 0)
        _exit(127);
    const rlimit next{std::min(soft, current.rlim_max), std::min(hard, current.rlim_max)};
    if (setrlimit(resource, &next) != 0)
        _exit(127);
}

void limitChild(const ImageDecodeLimits& limits, pid_t parent)
{
    const auto bytes = rlim_t(limits.addressSpaceBytes);
    lowerLimit(RLIMIT_AS, bytes, bytes);
    // The soft limit raises SIGXCPU, the hard one a second later SIGKILL.
    const auto seconds = rlim_t(limits.cpuSeconds);
    lowerLimit(RLIMIT_CPU, seconds, seconds + 1);
    // A decoder stopped by its limit leaves no core dump behind.
    lowerLimit(RLIMIT_CORE, 0, 0);
    // Nor does it outlive the window's thread.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        _exit(127);
}

} // namespace

ImageDecodeJob::ImageDecodeJob(QSize pixels, const ImageDecodeLimits& limits)
    : m_pixels(pixels), m_limits(limits)
{
    m_wallClock.setSingleShot(true);
    connect(&m_wallClock, &QTimer::timeout, this, [this] {
        m_overTime = true;
        m_process.kill();
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ImageDecodeJob::readOutput);
    connect(&m_process, &QProcess::finished, this, &ImageDecodeJob::processEnded);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Every other error is followed by finished().
        if (error == QProcess::FailedToStart)
            report(Outcome::NoPicture);
    });
}

ImageDecodeJob* ImageDecodeJob::start(const QString& url, QSize pixels, const ImageDecodeLimits& limits)
{
    auto* job = new ImageDecodeJob(pixels, limits);
    // Started from the event loop, so that even a failure to start reaches the caller's
    // connections.
    QMetaObject::invokeMethod(
        job, [job, bytes = url.trimmed().toUtf8()] { job->run(bytes); }, Qt::QueuedConnection);
    return job;
}

QString ImageDecodeJob::program()
{
    return DecoderProgram::builtIn().find(QCoreApplication::applicationDirPath());
}

void ImageDecodeJob::run(const QByteArray& url)
{
    if (m_abandoned) {
        deleteLater();
        return;
    }
    const bool fits = m_pixels.width() > 0 && m_pixels.height() > 0 && m_pixels.width() <= kMaxSide &&
                      m_pixels.height() <= kMaxSide;
    if (!fits || url.isEmpty() || url.size() > DataUrlImage::kMaxUrlBytes) {
        report(Outcome::NoPicture);
        return;
    }
    const QString decoder = program();
    if (decoder.isEmpty()) {
        report(Outcome::NoPicture);
        return;
    }
    m_process.setProgram(decoder);
    m_process.setArguments({QString::number(m_pixels.width()), QString::number(m_pixels.height())});
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.setChildProcessModifier([limits = m_limits, parent = getpid()] { limitChild(limits, parent); });
    m_wallClock.start(m_limits.wallClock);
    m_process.start();
    m_process.write(url);
    m_process.closeWriteChannel();
}

void ImageDecodeJob::readOutput()
{
    m_output += m_process.readAllStandardOutput();
    // The process hands back the bitmap and nothing else: more is not kept.
    if (m_output.size() > m_pixels.width() * m_pixels.height() * kBytesPerPixel) {
        m_output.clear();
        m_overflowed = true;
        m_process.kill();
    }
}

void ImageDecodeJob::processEnded(int exitCode, QProcess::ExitStatus status)
{
    if (!m_overflowed)
        readOutput();
    if (m_overTime) {
        report(Outcome::OverTime);
    } else if (m_overflowed) {
        report(Outcome::NoPicture);
    } else if (status == QProcess::CrashExit) {
        report(Outcome::Stopped);
    } else if (exitCode != 0 || m_output.size() != m_pixels.width() * m_pixels.height() * kBytesPerPixel) {
        report(Outcome::NoPicture);
    } else {
        const QImage rows(reinterpret_cast<const uchar*>(m_output.constData()), m_pixels.width(),
                          m_pixels.height(), m_pixels.width() * kBytesPerPixel,
                          QImage::Format_ARGB32_Premultiplied);
        report(Outcome::Drawn, rows.copy());
    }
}

void ImageDecodeJob::report(Outcome outcome, const QImage& bitmap)
{
    m_wallClock.stop();
    if (m_reported)
        return;
    m_reported = true;
    if (!m_abandoned)
        Q_EMIT finished(bitmap, outcome);
    deleteLater();
}

void ImageDecodeJob::abandon()
{
    m_abandoned = true;
    if (m_process.state() != QProcess::NotRunning)
        m_process.kill();
}

} // namespace orvalink::ui
