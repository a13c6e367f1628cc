#pragma once

#include <QHashFunctions>
#include <QString>

namespace orvalink {

// One suggestion card shown above the listing while Smart Migration is on. Title and note are
// already localized; `path` is the folder the card opens.
struct SmartMigrationSuggestion {
    enum class Tone { recommended, entrypoint, caution };

    QString id;
    QString title;
    QString note;
    QString path;
    Tone tone = Tone::recommended;

    bool operator==(const SmartMigrationSuggestion&) const = default;
};

inline size_t qHash(const SmartMigrationSuggestion& suggestion, size_t seed = 0)
{
    return qHashMulti(seed, suggestion.id, suggestion.title, suggestion.note, suggestion.path,
                      static_cast<int>(suggestion.tone));
}

} // namespace orvalink
