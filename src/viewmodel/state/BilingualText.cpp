#include "viewmodel/state/BilingualText.h"

#include <QMap>
#include <algorithm>

namespace orvalink {

namespace {

// A place marker: '%' and one or two digits, numbered 1 to 99, as QString::arg reads them.
struct Marker {
    qsizetype length = 0; // 0: no marker here
    int number = 0;
};

Marker markerAt(const QString& text, qsizetype at)
{
    if (text.at(at) != QLatin1Char('%') || at + 1 >= text.size() || !text.at(at + 1).isDigit())
        return {};
    int number = text.at(at + 1).digitValue();
    qsizetype length = 2;
    if (at + 2 < text.size() && text.at(at + 2).isDigit()) {
        number = number * 10 + text.at(at + 2).digitValue();
        length = 3;
    }
    if (number < 1)
        return {};
    return {length, number};
}

} // namespace

BilingualText::BilingualText(const QString& zh, const QString& en)
{
    append(Shown::chinese, zh);
    append(Shown::separator, QStringLiteral(" "));
    append(Shown::english, en);
}

BilingualText::BilingualText(const char* zh, const char* en)
    : BilingualText(QString::fromUtf8(zh), QString::fromUtf8(en))
{}

BilingualText BilingualText::same(const QString& text)
{
    BilingualText result;
    result.append(Shown::always, text);
    return result;
}

QString BilingualText::in(UILanguage language) const
{
    QString text;
    for (const Piece& piece : m_pieces) {
        const bool shown = piece.shown == Shown::always || language == UILanguage::bilingual ||
                           (piece.shown == Shown::chinese && language == UILanguage::chinese) ||
                           (piece.shown == Shown::english && language == UILanguage::english);
        if (shown)
            text += piece.text;
    }
    return text;
}

BilingualText& BilingualText::operator+=(const BilingualText& other)
{
    for (const Piece& piece : other.m_pieces)
        append(piece.shown, piece.text);
    return *this;
}

void BilingualText::append(Shown shown, const QString& text)
{
    if (text.isEmpty())
        return;
    if (!m_pieces.isEmpty() && m_pieces.last().shown == shown)
        m_pieces.last().text += text;
    else
        m_pieces.append({shown, text});
}

BilingualText BilingualText::substituted(std::initializer_list<BilingualText> values) const
{
    // The lowest markers of the whole text take the values in order, wherever they stand.
    QList<int> numbers;
    for (const Piece& piece : m_pieces) {
        for (qsizetype at = 0; at < piece.text.size(); ++at) {
            const Marker marker = markerAt(piece.text, at);
            if (marker.length > 0 && !numbers.contains(marker.number))
                numbers.append(marker.number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    QMap<int, const BilingualText*> valueOf;
    const BilingualText* value = values.begin();
    for (qsizetype i = 0; i < numbers.size() && value != values.end(); ++i, ++value)
        valueOf.insert(numbers.at(i), value);

    BilingualText result;
    for (const Piece& piece : m_pieces) {
        qsizetype copied = 0;
        for (qsizetype at = 0; at < piece.text.size(); ++at) {
            const Marker marker = markerAt(piece.text, at);
            const BilingualText* put = marker.length > 0 ? valueOf.value(marker.number) : nullptr;
            if (!put)
                continue;
            result.append(piece.shown, piece.text.mid(copied, at - copied));
            if (piece.shown == Shown::chinese)
                result.append(Shown::chinese, put->in(UILanguage::chinese));
            else if (piece.shown == Shown::english)
                result.append(Shown::english, put->in(UILanguage::english));
            else
                result += *put;
            at += marker.length - 1;
            copied = at + 1;
        }
        result.append(piece.shown, piece.text.mid(copied));
    }
    return result;
}

} // namespace orvalink
