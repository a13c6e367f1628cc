#pragma once

#include "model/AppConfig.h"

#include <QString>

namespace orvalink {

// A text in both languages, kept where the language it is shown in may change before it goes.
struct BilingualText {
    QString zh;
    QString en;

    bool operator==(const BilingualText&) const = default;
};

// Reduces a Chinese/English text pair to what the user chose. Every user-visible text of the
// state object goes through it; build one from the settings in force at the moment of the call
// so that a language switch applies to the next text produced.
class Localizer {
public:
    explicit Localizer(UILanguage language = UILanguage::bilingual) : m_language(language) {}

    UILanguage language() const { return m_language; }

    // chinese: zh; english: en; bilingual: zh, one space, en (nothing trimmed, so an empty zh
    // still leaves the space).
    QString localized(const QString& zh, const QString& en) const;
    QString localized(const BilingualText& text) const { return localized(text.zh, text.en); }

private:
    UILanguage m_language;
};

} // namespace orvalink
