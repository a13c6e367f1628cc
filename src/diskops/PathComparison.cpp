#include "diskops/PathComparison.h"

namespace orvalink {

QString comparableForm(const QString& standardizedPath)
{
    return standardizedPath.normalized(QString::NormalizationForm_C);
}

bool liesUnder(const QString& path, const QString& directory)
{
    return path.size() > directory.size() + 1 && path.startsWith(directory) &&
           path.at(directory.size()) == QLatin1Char('/');
}

} // namespace orvalink
