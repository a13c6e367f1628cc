#include "support/FolderHold.h"

#include "support/TestTree.h"

namespace orvalink::test {

namespace {

const QString kImage = QStringLiteral("container.img");

KernelHeldFile::Kind kindOf(FolderHold::How how)
{
    return how == FolderHold::How::swap ? KernelHeldFile::Kind::swap : KernelHeldFile::Kind::loopDevice;
}

} // namespace

const char* folderHoldName(FolderHold::How how)
{
    switch (how) {
    case FolderHold::How::loopDevice:
        return "disk image on a loop device";
    case FolderHold::How::swap:
        return "swap file";
    }
    return "";
}

void FolderHold::fill(const QString& folder, How)
{
    TestTree(folder).fileOfSize(kImage, 1024 * 1024);
}

FolderHold::FolderHold(const QString& folder, How how)
    : m_kernel(folder + QLatin1Char('/') + kImage, kindOf(how))
{}

std::optional<QString> FolderHold::skipReason() const
{
    return m_kernel.skipReason();
}

QString FolderHold::holderName() const
{
    return m_kernel.holderName();
}

bool FolderHold::release()
{
    return m_kernel.release();
}

} // namespace orvalink::test
