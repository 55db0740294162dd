#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

namespace dorv {

// Decodes a JPEG held in memory with libjpeg itself, so the program does not depend on which image
// plugins a Qt installation happens to carry. Grayscale pictures come back as Grayscale8, colour
// ones as RGB888. Broken, truncated or foreign data gives a null image and, when error is given,
// a message for the user; it never ends the program.
QImage decodeJpeg(const QByteArray& data, QString* error);

} // namespace dorv
