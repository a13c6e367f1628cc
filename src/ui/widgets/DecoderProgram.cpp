#include "ui/widgets/DecoderProgram.h"

#include "platform/TrustedProgram.h"

#include <QDir>
#include <QFileInfo>

namespace orvalink::ui {

namespace {

// Whether `folder` is `tree` or lies inside it, both as the file system resolves them now.
bool liesInside(const QString& folder, const QString& tree)
{
    const QString resolvedFolder = QFileInfo(folder).canonicalFilePath();
    const QString resolvedTree = QFileInfo(tree).canonicalFilePath();
    if (resolvedFolder.isEmpty() || resolvedTree.isEmpty())
        return false;
    return resolvedFolder == resolvedTree || resolvedFolder.startsWith(resolvedTree + QLatin1Char('/'));
}

} // namespace

DecoderProgram DecoderProgram::builtIn()
{
    return {QStringLiteral(ORVALINK_IMAGE_DECODER_FROM_BINDIR), QStringLiteral(ORVALINK_BUILD_TREE),
            QStringLiteral(ORVALINK_IMAGE_DECODER_IN_BUILD_TREE)};
}

QString DecoderProgram::find(const QString& applicationDir) const
{
    if (!applicationDir.isEmpty() && !besideApplication.isEmpty()) {
        const QString installed = QDir::cleanPath(applicationDir + QLatin1Char('/') + besideApplication);
        if (const std::optional<QString> program = platform::trustedProgram(installed))
            return *program;
    }
    if (!applicationDir.isEmpty() && !buildTree.isEmpty() && liesInside(applicationDir, buildTree)) {
        if (const std::optional<QString> program = platform::trustedProgram(inBuildTree))
            return *program;
    }
    return QString();
}

} // namespace orvalink::ui
