#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace orvalink::test {

// Mounting for tests, as root or as a regular user. A test executable that links this enters,
// before main() and while it still runs a single thread, a user and mount namespace of its own when
// it does not run as root and the kernel allows unprivileged namespaces (Debian's does). Inside, its
// user and group ids stay what they were and its effective capabilities are dropped, so permission
// checks apply exactly as outside; only the calls below raise the right to mount, for their own
// duration. Mounts made there are seen by the test and the processes it starts, by no one else, and
// vanish with the test. As root nothing changes: mounts are made in the machine's namespace.
namespace mounts {

// Why nothing can be mounted here; none as root or inside the private namespace.
std::optional<QString> skipReason();

// mount(2) of `source` at `target`; 0 on success, else the errno.
int mount(const QByteArray& source, const QString& target, const char* type, unsigned long flags,
          const QByteArray& data = {});

// Detaches whatever is mounted at `target` (lazily); 0 on success, else the errno.
int unmount(const QString& target);

} // namespace mounts

} // namespace orvalink::test
