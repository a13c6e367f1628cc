#pragma once

#include "model/AppConfig.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <initializer_list>
#include <utility>

namespace orvalink {

// A text the user reads, written in Chinese and in English side by side. It is turned into one
// language only where it is shown (Presentation::localized), so a message kept in the published
// state reads in the new language as soon as the user switches.
//
// A text keeps which of its pieces are Chinese, English or the same in both, so every operation
// works on each language alike: a text joined from pieces reads in the bilingual setting as its
// pieces shown one after the other, and a text put into another (arg) stands in the Chinese half in
// Chinese and in the English half in English, so a reason that is itself bilingual is never said
// twice in each half. Put into a piece that reads the same in both (a path, a separator), it keeps
// both of its languages.
class BilingualText {
public:
    BilingualText() = default;
    BilingualText(const QString& zh, const QString& en);
    // From UTF-8 literals.
    BilingualText(const char* zh, const char* en);
    // A text that reads the same in every setting, shown once even in the bilingual one: a path, a
    // number, a message of the system or of the account service.
    static BilingualText same(const QString& text);

    // chinese: the Chinese text; english: the English text; bilingual: the Chinese text, one space,
    // the English text (nothing trimmed: an empty Chinese text still leaves the space).
    QString in(UILanguage language) const;
    // Empty in both languages.
    bool isEmpty() const { return in(UILanguage::chinese).isEmpty() && in(UILanguage::english).isEmpty(); }

    // Replaces the place markers %1 to %99 in one pass, as QString::arg does: the lowest marker
    // takes the first value, the next lowest the second, and so on.
    template <typename... Values> BilingualText arg(const Values&... values) const
    {
        return substituted({asText(values)...});
    }

    BilingualText& operator+=(const BilingualText& other);
    friend BilingualText operator+(BilingualText text, const BilingualText& other) { return text += other; }
    friend BilingualText operator+(BilingualText text, const QString& other) { return text += same(other); }
    friend BilingualText operator+(const QString& text, const BilingualText& other)
    {
        return same(text) += other;
    }

    bool operator==(const BilingualText&) const = default;

private:
    // Which settings show a piece: the separator between the halves shows only in the bilingual one.
    enum class Shown { always, chinese, english, separator };
    struct Piece {
        Shown shown;
        QString text;
        bool operator==(const Piece&) const = default;
    };

    static BilingualText asText(const BilingualText& value) { return value; }
    static BilingualText asText(const QString& value) { return same(value); }
    BilingualText substituted(std::initializer_list<BilingualText> values) const;
    // Adds a piece, joined to the last one when both show in the same settings, so that equal texts
    // compare equal however they were put together.
    void append(Shown shown, const QString& text);

    QList<Piece> m_pieces;
};

} // namespace orvalink
