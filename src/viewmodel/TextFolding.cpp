#include "viewmodel/TextFolding.h"

#include <QChar>
#include <QTextBoundaryFinder>

namespace orvalink {

namespace {

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QString asciiLower(QStringView text)
{
    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    for (QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u);
    }
    return result;
}

QString widthFolded(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const auto tag = QChar::decompositionTag(codePoint);
        if (tag == QChar::Wide || tag == QChar::Narrow)
            result += QChar::decomposition(codePoint);
        else
            result += QString::fromUcs4(&codePoint, 1);
    }
    return result;
}

QString withoutNonSpacingMarks(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const QList<uint> codePoints = text.toUcs4();
    for (const uint codePoint : codePoints) {
        if (QChar::category(char32_t(codePoint)) == QChar::Mark_NonSpacing)
            continue;
        const char32_t c = codePoint;
        result += QString::fromUcs4(&c, 1);
    }
    return result;
}

} // namespace

QString foldForSearch(QStringView text)
{
    // Nearly every file name is plain ASCII; the full Unicode route costs far more.
    if (isAscii(text))
        return asciiLower(text);
    const QString folded = widthFolded(text).toCaseFolded().toLower();
    return withoutNonSpacingMarks(folded.normalized(QString::NormalizationForm_D))
        .normalized(QString::NormalizationForm_C);
}

QStringList graphemeClusters(QStringView text)
{
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        clusters.append(text.mid(start, end - start).toString());
        start = end;
    }
    return clusters;
}

bool hasOnlySingleUnitCharacters(QStringView text)
{
    bool needsBoundaries = false;
    for (QChar c : text) {
        // Below U+0300 only CR LF forms a two-unit character; beyond it marks, surrogates,
        // jamo and joiners can.
        if (c.unicode() >= 0x300 || c == QLatin1Char('\r')) {
            needsBoundaries = true;
            break;
        }
    }
    if (!needsBoundaries)
        return true;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    qsizetype previous = 0;
    while (finder.toNextBoundary() != -1) {
        if (finder.position() - previous != 1)
            return false;
        previous = finder.position();
    }
    return true;
}

QString leadingCharacters(QStringView text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), int(text.size()));
    qsizetype end = 0;
    for (int i = 0; i < count && finder.toNextBoundary() != -1; ++i)
        end = finder.position();
    return text.left(end).toString();
}

} // namespace orvalink
