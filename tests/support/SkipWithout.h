#pragma once

#include <QTest>

// Skips the running test function with the fixture's reason when it has one (no second file system,
// not root, ...). The fixture answers skipReason() with an optional text.
#define SKIP_WITHOUT(fixture)                                                                                \
    if (const auto reason = (fixture).skipReason())                                                          \
    QSKIP(qPrintable(*reason))
