#include "web/QrCode.h"

#include <qrencode.h>

QrCode QrCode::encode(const QByteArray& text)
{
    QrCode out;
    // medium error correction: a phone's camera reads it off a screen at an angle
    QRcode* code = QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M);
    if (!code)
        return out;
    out.size_ = code->width;
    out.dark_.resize(size_t(code->width) * size_t(code->width));
    for (size_t i = 0; i < out.dark_.size(); ++i)
        out.dark_[i] = code->data[i] & 1;
    QRcode_free(code);
    return out;
}
