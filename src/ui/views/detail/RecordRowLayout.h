#pragma once

#include "viewmodel/disk/FailureRemedy.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPalette>
#include <QRect>
#include <QString>

class QStyle;
class QWidget;

namespace orvalink::ui {

// One drawn element of a record row. A part carries the object name the row's widget of that
// element would have, so hit tests, tool tips and tests find it by name.
struct RecordRowPart {
    enum class Kind {
        text,    // one line; a name loses its middle where it does not fit
        path,    // a monospace path line that loses its middle; it carries the path menu
        wrapped, // as many lines as the text needs
        chip,    // a capsule tinted with `color`
        button,  // a push button
    };

    Kind kind = Kind::text;
    QString name;
    QRect rect;
    QString text;
    QString path; // path lines: the raw path the menu acts on, whatever the line shows
    QFont font;
    QColor color;
    Qt::TextElideMode elide = Qt::ElideNone;
    bool enabled = true;

    // Where a text or path line draws its text (a path line keeps two pixels free on either side).
    QRect textRect() const;
    // The text as drawn: elided to the text rectangle where it does not fit.
    QString shownText() const;
    bool isElided() const { return shownText() != text; }
};

// A record row laid out at its place in the list: the tinted rounded frame and its parts.
struct RecordRow {
    QRect frame;
    QColor tint;
    qreal alpha = 0.08;
    QList<RecordRowPart> parts;

    const RecordRowPart* part(const QString& name) const;
    // The part under `point`, if any.
    const RecordRowPart* partAt(const QPoint& point) const;
};

// The fonts, colours and sizes of the rows, derived from the list's font and palette and measured
// with its style as labels, line edits, chips and push buttons measure themselves, so a painted row
// looks like one built of those widgets.
class RecordRowMetrics {
public:
    RecordRowMetrics(const QFont& base, const QPalette& palette, const QWidget* widget);

    QFont caption() const;
    QFont chip() const;
    QFont mono(int pixelSize) const;
    QFont button() const;
    QColor text() const;
    QColor secondaryText() const;

    QStyle* style() const;
    const QWidget* widget() const { return m_widget; }
    // The height of a frameless, read-only line edit in `font`.
    int lineEditHeight(const QFont& font) const;
    QSize buttonSize(const QString& text) const;
    QSize chipSize(const QString& text) const;

private:
    QFont m_base;
    QPalette m_palette;
    const QWidget* m_widget;
};

// What a finished migration's row shows, every text in the window's language and every path as the
// window shows it; the raw paths are what the path menus act on.
struct MigratedRecordTexts {
    QString name;
    QString date;
    QString target; // "Target: " and the shown target path
    QString targetPath;
    QString undoReturn; // "Undo returns to: " and the shown source path
    QString sourcePath;
};

struct RestoredRecordTexts {
    QString shownPath;
    QString path;
    QString copy;
    QString open;
    QString reveal;
};

struct FailedRecordTexts {
    QString name;
    QString badge;
    QString date;
    QString source; // the shown source path
    QString sourcePath;
    QString plannedTarget; // "Planned Target: " and the shown target; empty for a record without target
    QString targetPath;
    QString reason; // "Reason: " and the masked, localized message
    FailureRemedy remedy = FailureRemedy::none;
    QString remedyText;
    bool remedyEnabled = true;
    QString openSource;
    QString openTarget; // empty for a record without target
};

// What the row of an undo that left entries on the volume shows; the row of what the start-up kept
// aside reads the same way.
struct LeftBehindRecordTexts {
    QString name;
    QString badge;
    QString date;
    QString source; // "Back at: " and the shown path where the data stands
    QString sourcePath;
    QString stayed; // "Stayed in: " and the shown folder on the volume that holds the rest
    QString targetPath;
    QString advice;        // how many entries stayed, and how Append Restore brings them home
    QString appendRestore; // empty for copies, which nothing brings home
    bool appendEnabled = true;
    QString openSource;
    QString openTarget;
};

// What the row of a link a repair acted on shows.
struct LinkRecordTexts {
    QString name;
    QString badge; // "Repaired" or "Not Repaired"
    bool repaired = false;
    QString date;
    QString link; // "Link: " and the shown link path
    QString sourcePath;
    QString target; // "Points to: " or "Recorded Target: " and the shown target path
    QString targetPath;
};

// The rows, laid out from the top-left of `bounds` across its width; the frame's height follows
// from the texts and the width. A repaired link's row is green, one not repaired red; what an undo
// left behind is orange.
RecordRow layoutMigratedRecord(const MigratedRecordTexts& texts, const QRect& bounds,
                               const RecordRowMetrics& metrics);
RecordRow layoutRestoredRecord(const RestoredRecordTexts& texts, const QRect& bounds,
                               const RecordRowMetrics& metrics);
RecordRow layoutFailedRecord(const FailedRecordTexts& texts, const QRect& bounds,
                             const RecordRowMetrics& metrics);
RecordRow layoutLeftBehindRecord(const LeftBehindRecordTexts& texts, const QRect& bounds,
                                 const RecordRowMetrics& metrics);
RecordRow layoutLinkRecord(const LinkRecordTexts& texts, const QRect& bounds,
                           const RecordRowMetrics& metrics);

} // namespace orvalink::ui
