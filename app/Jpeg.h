#pragma once
// JPEG decoding through libjpeg, for the pictures built into the program.
#include <QByteArray>
#include <QImage>

// Decodes a whole JPEG file held in memory. Returns a null image for data that
// is not a JPEG, is truncated or is corrupt; never crashes on bad input.
// Grey pictures come back as Format_Grayscale8, all others as Format_RGB888
// (CMYK and YCCK are converted by libjpeg's colour conversion to RGB where it
// can; a colour space it cannot convert gives a null image).
QImage decodeJpeg(const QByteArray& data);
