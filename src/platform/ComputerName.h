#pragma once

#include <QByteArray>
#include <QString>

namespace orvalink::platform {

// The computer's user-visible name: PRETTY_HOSTNAME of /etc/machine-info, else the host name; empty
// when the system gives neither.
QString computerName();

// PRETTY_HOSTNAME from the text of a machine-info file (shell-style KEY=VALUE lines, the value
// optionally quoted); empty when the key is missing or blank.
QString prettyHostnameFromMachineInfo(const QByteArray& text);

} // namespace orvalink::platform
