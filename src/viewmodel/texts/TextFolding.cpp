#include "viewmodel/texts/TextFolding.h"

#include <QChar>
#include <QTextBoundaryFinder>
#include <algorithm>

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

void appendCodePoint(QString& text, char32_t codePoint)
{
    if (QChar::requiresSurrogates(codePoint)) {
        text.append(QChar(QChar::highSurrogate(codePoint)));
        text.append(QChar(QChar::lowSurrogate(codePoint)));
    } else {
        text.append(QChar(char16_t(codePoint)));
    }
}

// Calls `visit` with each code point; an unpaired surrogate is passed on as it is.
template <typename Visit> void forEachCodePoint(QStringView text, Visit visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            visit(char32_t(c.unicode()));
        }
    }
}

QString widthFolded(QStringView text)
{
    QString result;
    result.reserve(text.size());
    forEachCodePoint(text, [&](char32_t codePoint) {
        const auto tag = QChar::decompositionTag(codePoint);
        if (tag == QChar::Wide || tag == QChar::Narrow)
            result += QChar::decomposition(codePoint);
        else
            appendCodePoint(result, codePoint);
    });
    return result;
}

QString withoutNonSpacingMarks(const QString& text)
{
    QString result;
    result.reserve(text.size());
    forEachCodePoint(text, [&](char32_t codePoint) {
        if (QChar::category(codePoint) != QChar::Mark_NonSpacing)
            appendCodePoint(result, codePoint);
    });
    return result;
}

// Below U+0300 only CR LF forms a two-unit character; beyond it marks, surrogates, jamo and
// joiners can.
bool needsBoundaries(QStringView text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x300 || c == QLatin1Char('\r'); });
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
    if (!needsBoundaries(text))
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

bool hasOnlySingleUnitCharactersAfterSlash(QStringView text)
{
    if (!needsBoundaries(text))
        return true;
    return hasOnlySingleUnitCharacters(QLatin1Char('/') + text.toString());
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
