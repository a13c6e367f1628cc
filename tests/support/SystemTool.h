#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace orvalink::test {

// The administrator's program `name` (mkfs.ext4, losetup, swapon ...), looked for in /usr/sbin and
// /sbin as well as the search path; empty when it is not installed.
QString findSystemTool(const QString& name);

// Runs `program` with `arguments` and waits for it; answers its complaint (its output, or why it
// did not run to its end), or nothing when it succeeded.
std::optional<QString> runSystemTool(const QString& program, const QStringList& arguments);

} // namespace orvalink::test
