#pragma once

#include <QString>

namespace orvalink::ui {

// Where the image decoder program may stand, and which one a running program may start. A decoder
// is a program like any other: whoever can put one where it is looked for runs code as the user
// (root included) as soon as a captcha is shown. So only two places are looked at, and a decoder
// found there runs only when platform::trustedProgram() accepts it.
struct DecoderProgram {
    // The installed decoder, relative to the folder of the application's binary.
    QString besideApplication;
    // The build folder the application was built in, and the decoder it built there. Looked at only
    // while the application runs from inside that folder: a binary copied away from its build may
    // find the folder gone, and whoever makes a new one in its place (under /tmp, say) is not the
    // one who built it.
    QString buildTree;
    QString inBuildTree;

    // The places this build was made with.
    static DecoderProgram builtIn();

    // The decoder a program whose binary lies in `applicationDir` runs: the one beside it, else, when
    // `applicationDir` lies inside the build tree, the one built there; resolved (see
    // platform::trustedProgram). Empty when neither may run: then there is no picture.
    QString find(const QString& applicationDir) const;
};

} // namespace orvalink::ui
