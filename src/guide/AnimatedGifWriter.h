#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace orvalink::platform {
class FolderWriter;
}

namespace orvalink::guide {

// One frame of an animated GIF.
struct GuideGifFrame {
    QImage image;
    // How long the frame stays on screen, in hundredths of a second (0 to 65535), written as given.
    int delayCentiseconds = 0;
};

// The bytes of a GIF89a that shows `frames` in order and loops forever (NETSCAPE2.0 loop count 0).
// Every frame gets its own graphics control block with its delay and its own colour table of at
// most 256 colours. All frames must be non-null and of one size. Throws
// ExportError(gifEncodingFailed) when the frames break these rules or giflib fails.
QByteArray encodeAnimatedGif(const QList<GuideGifFrame>& frames);

// Replaces the file `name` of `folder` with the animation in one step: the whole GIF is encoded in
// memory, then committed through a new file beside the name, so a failure leaves whatever stood
// there untouched and no temporary file behind. A symbolic link at the name is replaced, never
// followed. Throws ExportError for the encoding and platform::PlatformError for the file system.
void writeAnimatedGif(const QList<GuideGifFrame>& frames, const platform::FolderWriter& folder,
                      const QString& name);

} // namespace orvalink::guide
