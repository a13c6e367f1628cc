#pragma once

#include <QString>

namespace orvalink {
class ViewModelContext;
}

namespace orvalink::test {

// What the long steps that follow a copy publish, from their start to their end, as the window meets
// them (the workflows' own tests run them for real):
// - a migration of `source` taken back after its copy: its data coming home, then its failed item,
//   which names where the version that replaced one of its files kept the older one;
// - a start-up that finishes an interrupted migration of `source`: the operation being put right,
//   then the record of the older version it kept, and of another migration it completed instead of
//   taking it back.
void beginTakeBack(ViewModelContext& context, const QString& source);
void endTakeBack(ViewModelContext& context, const QString& source);
void beginStartRecovery(ViewModelContext& context, const QString& source);
void endStartRecovery(ViewModelContext& context, const QString& source);

// Where the version replaced in `source` was kept.
QString keptVersionOf(const QString& source);

} // namespace orvalink::test
