#pragma once

#include <QByteArray>

#include <vector>

// A QR code's modules for a short text, such as the web remote's address, to be drawn by the window.
class QrCode {
public:
    // Empty (size 0) when the text does not fit.
    static QrCode encode(const QByteArray& text);
    int size() const { return size_; }
    bool dark(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_ && dark_[size_t(y * size_ + x)]; }

private:
    int size_ = 0;
    std::vector<bool> dark_;
};
