#pragma once

#include <QByteArray>
#include <QString>

namespace orvalink::test {

// Pictures built to make a decoder take long or grow large, each small enough for a captcha URL.
namespace HostileImages {

// An SVG: a blue background and one polyline of `points` points stroked with round joins far
// wider than the picture (the stroker builds a circle at every point).
QByteArray wideRoundPolyline(int points);

// An SVG: one <text> of a letter followed by `marks` combining accents.
QByteArray combiningMarks(int marks);

// A valid 4 × 4 PNG carrying `chunks` compressed text chunks that unpack to `unpackedBytes` each.
QByteArray pngWithTextChunks(int chunks, int unpackedBytes);

// A valid progressive greyscale JPEG of `side` × `side` pixels whose one DC scan is followed by
// `scans` AC scans without data: the decoder walks every block of the picture for each of them.
QByteArray progressiveJpegWithEmptyScans(int side, int scans);

// The base64 data URL of `data` as `type`.
QString dataUrl(const QByteArray& type, const QByteArray& data);

} // namespace HostileImages

} // namespace orvalink::test
