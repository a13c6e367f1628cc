#pragma once

#include <QString>

namespace orvalink::test {

// Rewrites the file at `path` where it stands with as many other bytes, as a program tidying a
// volume might; with `timesPutBack`, gives it back the access and modification times it had, as
// `cp -p` or `rsync --inplace -t` onto it do. A write in the same tick of the kernel's clock as the
// file's last change leaves the same change time: the write waits for the clock (the coarse one the
// kernel stamps files with) to pass that time first, a tick at most on a file system that keeps fine
// times. Answers false when the file could not be rewritten.
bool rewriteInPlace(const QString& path, bool timesPutBack);

} // namespace orvalink::test
