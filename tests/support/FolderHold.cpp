#include "support/FolderHold.h"

#include "support/TestTree.h"

#include <QFile>

namespace orvalink::test {

namespace {

const QString kImage = QStringLiteral("container.img");
const QString kLog = QStringLiteral("app.log");
const QString kRotated = QStringLiteral("app.log.1");

} // namespace

const char* folderHoldName(FolderHold::How how)
{
    switch (how) {
    case FolderHold::How::loopDevice:
        return "disk image on a loop device";
    case FolderHold::How::swap:
        return "swap file";
    case FolderHold::How::removedName:
        return "log kept open after its rotation";
    case FolderHold::How::threadWorkingDirectory:
        return "a thread's own working directory";
    case FolderHold::How::threadDescriptor:
        return "a log open in a thread's own descriptor table";
    case FolderHold::How::ring:
        return "a log registered with an io_uring";
    }
    return "";
}

void FolderHold::fill(const QString& folder, How how)
{
    TestTree tree(folder);
    if (isKernelHold(how)) {
        tree.fileOfSize(kImage, 1024 * 1024);
        return;
    }
    tree.file(kLog, "first line\n");
    if (how == How::removedName)
        tree.hardLink(kRotated, kLog);
}

FolderHold::FolderHold(const QString& folder, How how)
{
    if (isKernelHold(how)) {
        m_kernel = std::make_unique<KernelHeldFile>(folder + QLatin1Char('/') + kImage,
                                                    how == How::swap ? KernelHeldFile::Kind::swap
                                                                     : KernelHeldFile::Kind::loopDevice);
        return;
    }
    const QString log = folder + QLatin1Char('/') + kLog;
    switch (how) {
    case How::threadWorkingDirectory:
        m_program = std::make_unique<ForkedHolder>(folder, ForkedHolder::Hold::threadWorkingDirectory);
        break;
    case How::threadDescriptor:
        m_program = std::make_unique<ForkedHolder>(log, ForkedHolder::Hold::threadDescriptor);
        break;
    case How::ring:
        m_program = std::make_unique<ForkedHolder>(log, ForkedHolder::Hold::registeredWithRing);
        break;
    default:
        m_program = std::make_unique<ForkedHolder>(log, ForkedHolder::Hold::open);
    }
    if (!m_program->isHolding() || (how == How::removedName && !QFile::remove(log)))
        m_skipReason = QStringLiteral("cannot hold ") + log;
}

std::optional<QString> FolderHold::skipReason() const
{
    if (m_kernel)
        return m_kernel->skipReason();
    if (m_program && m_program->skipReason())
        return m_program->skipReason();
    if (m_skipReason.isEmpty())
        return std::nullopt;
    return m_skipReason;
}

QString FolderHold::holderName() const
{
    return m_kernel ? m_kernel->holderName() : QStringLiteral("holder");
}

bool FolderHold::release()
{
    if (m_kernel)
        return m_kernel->release();
    m_program.reset();
    return true;
}

} // namespace orvalink::test
