#pragma once

#include "model/AppConfig.h"

#include <QString>
#include <QtGlobal>
#include <utility>

namespace orvalink {

// A text the user reads, written in Chinese and in English side by side. It is turned into one
// language only where it is shown (Presentation::localized), so a message kept in the published
// state reads in the new language as soon as the user switches.
//
// A text keeps what it reads in each language setting, and every operation works on each of them
// alike: a text joined from pieces reads in the bilingual setting as its pieces shown one after the
// other, and a text put into another (arg) stands in each half in the form of the setting, as it
// would have been had the whole been made in that setting.
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
    bool isEmpty() const { return m_zh.isEmpty() && m_en.isEmpty(); }

    // Replaces the place markers %1, %2, ... in one pass, as QString::arg does; each value stands
    // in the form of the same setting.
    template <typename... Values> BilingualText arg(const Values&... values) const
    {
        BilingualText result;
        result.m_zh = m_zh.arg(form(values, &BilingualText::m_zh)...);
        result.m_en = m_en.arg(form(values, &BilingualText::m_en)...);
        result.m_both = m_both.arg(form(values, &BilingualText::m_both)...);
        return result;
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
    static const QString& form(const BilingualText& value, QString BilingualText::*member)
    {
        return value.*member;
    }
    static const QString& form(const QString& value, QString BilingualText::*) { return value; }

    QString m_zh;
    QString m_en;
    // The bilingual form, kept whole: a text put into another stands in both halves this way.
    QString m_both;
};

} // namespace orvalink
