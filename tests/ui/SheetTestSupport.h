#pragma once

#include <QString>
#include <QWidget>

class QAbstractButton;

namespace orvalink::test {

// The child named `name`; fails the lookup loudly through a null pointer the caller verifies.
template <typename T> T* child(const QWidget* root, const QString& name)
{
    return root->findChild<T*>(name);
}

// Shows `sheet` off screen at `width` and saves its whole scrolled content (not only what the
// viewport shows) as <build>/screens/<name>.png. Returns the saved path, or empty on failure.
QString saveSheetScreen(QWidget* sheet, const QString& name, int width = 640);

// Texts of every visible label below `root`, for checks that a text is on screen.
QStringList visibleLabelTexts(const QWidget* root);

} // namespace orvalink::test
