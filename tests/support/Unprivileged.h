#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace orvalink::test {

// Permission checks do not apply to root, so permission tests run their file work in a forked child
// that drops to nobody/nogroup. Only usable while the test process runs a single thread.
class Unprivileged {
public:
    // Why the calling test must skip; none when dropping privileges is possible (we run as root).
    static std::optional<QString> skipReason();

    // Runs `work` in the child as nobody and returns the bytes it produced; none when the child could
    // not drop its privileges, threw, or died.
    static std::optional<QByteArray> run(const std::function<QByteArray()>& work);

    // Makes `path` and every directory below it readable and enterable by everyone (a QTemporaryDir is
    // created 0700).
    static void openUp(const QString& path);
};

} // namespace orvalink::test
