// Decodes the JPEG pictures of the windows with libjpeg (not Qt's image plugins), so the
// pictures show the same on every system whatever plugins it has. Showing and scaling the
// image is the caller's business.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace spylerom::gui {

// Largest picture accepted, in pixels; a header asking for more is refused before any
// pixel memory is taken.
inline constexpr qint64 kMaxJpegPixels = 64LL * 1024 * 1024;

// The picture in bytes as an RGB image. A damaged, truncated or oversized picture, or one in
// a colour space libjpeg cannot turn into RGB, gives a null image and, in error, why.
QImage decodeJpeg(const QByteArray& bytes, QString* error = nullptr);

// The same for a file or a Qt resource (":/..."): a file that cannot be read gives a null
// image and the reason.
QImage loadJpeg(const QString& path, QString* error = nullptr);

} // namespace spylerom::gui
