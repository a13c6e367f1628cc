// A stand-in for the application as far as the captcha goes: prints the decoder program it would
// run (an empty line when none may run), then has a small red PNG decoded and prints the outcome
// ("Drawn", "NoPicture", ...). The tests run it in place and copied away from its build.
#include "ui/widgets/ImageDecodeJob.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QMetaEnum>
#include <QTextStream>

using orvalink::ui::ImageDecodeJob;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << ImageDecodeJob::program() << "\n";
    out.flush();

    QImage red(QSize(4, 4), QImage::Format_ARGB32);
    red.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    red.save(&png, "PNG");
    const QString url = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.data().toBase64());
    ImageDecodeJob* job = ImageDecodeJob::start(url, QSize(4, 4));
    QObject::connect(
        job, &ImageDecodeJob::finished, &app, [&](const QImage&, ImageDecodeJob::Outcome outcome) {
            out << QMetaEnum::fromType<ImageDecodeJob::Outcome>().valueToKey(int(outcome)) << "\n";
            out.flush();
            app.quit();
        });
    return app.exec();
}
