// JPEG decoding over libjpeg's memory source, with its fatal errors turned into a return.
#include "gui/jpeg_image.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace spylerom::gui {

namespace {

// libjpeg ends a decode on a fatal error by calling error_exit, which must not return; ours
// jumps back to the decoder with the library's message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void onFatalError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    manager->base.format_message(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// libjpeg only warns about damaged data (a premature end, bytes missing between markers) and
// fills the rest with grey; a picture shown half grey is no better than none, so a warning
// ends the decode too. Trace messages (level above 0) are ignored.
extern "C" void onEmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0)
        onFatalError(cinfo);
}

// The decode proper. Only plain C objects live in this frame, so the jump back from
// onFatalError skips no destructor; the image belongs to the caller.
bool decodeInto(const unsigned char* data, unsigned long size, QImage& image, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onFatalError;
    errors.base.emit_message = onEmitMessage;
    errors.message[0] = '\0';
    if (setjmp(errors.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    const qint64 pixels = static_cast<qint64>(cinfo.output_width) * cinfo.output_height;
    if (pixels > kMaxJpegPixels || cinfo.output_components != 3) {
        std::snprintf(message, JMSG_LENGTH_MAX, "picture too large (%u x %u)", cinfo.output_width,
                      cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                   QImage::Format_RGB888);
    if (image.isNull()) {
        std::snprintf(message, JMSG_LENGTH_MAX, "not enough memory for the picture");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QImage decodeJpeg(const QByteArray& bytes, QString* error) {
    QImage image;
    char message[JMSG_LENGTH_MAX] = {};
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("empty picture");
        return {};
    }
    if (!decodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()),
                    static_cast<unsigned long>(bytes.size()), image, message)) {
        if (error)
            *error = QString::fromLocal8Bit(message);
        return {};
    }
    if (error)
        error->clear();
    return image;
}

QImage loadJpeg(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    return decodeJpeg(file.readAll(), error);
}

} // namespace spylerom::gui
