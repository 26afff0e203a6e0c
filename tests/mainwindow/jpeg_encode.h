// A libjpeg encoder for tests and for making the program's pictures: the decoder under test
// never reads a picture that Qt made.
#pragma once

#include <QByteArray>
#include <QImage>

namespace spylerom::test {

struct JpegOptions {
    int quality = 95;
    bool progressive = false;
    bool grayscale = false;
};

// The image as a JPEG file's bytes; empty when libjpeg refuses.
QByteArray encodeJpeg(const QImage& image, const JpegOptions& options = {});

} // namespace spylerom::test
