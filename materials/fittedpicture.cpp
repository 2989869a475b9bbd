#include "fittedpicture.h"

#include "ui/jpeg.h"

#include <QPainter>

void FittedPicture::setPicture(const QImage& picture) {
    m_picture.setImage(picture);
    update();
}

void FittedPicture::setPictureFile(const QString& path) {
    m_picture.setFile(path);
    update();
}

const QImage& FittedPicture::picture() const {
    return m_picture.image();
}

QRect FittedPicture::placement(const QSize& picture, const QSize& area) {
    int w = picture.width();
    int h = picture.height();
    if (w <= 0 || h <= 0)
        return {};
    if (w > area.width() || h > area.height()) {
        // Scale by the tighter side; whole pixels are cut off, never rounded past the area.
        const qint64 byWidth = qint64(area.width()) * h;
        const qint64 byHeight = qint64(area.height()) * w;
        if (byWidth <= byHeight) {
            h = int(qint64(h) * area.width() / w);
            w = area.width();
        } else {
            w = int(qint64(w) * area.height() / h);
            h = area.height();
        }
    }
    return {(area.width() - w) / 2, (area.height() - h) / 2, w, h};
}

void FittedPicture::paintEvent(QPaintEvent*) {
    const QImage& image = picture();
    if (image.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(placement(image.size(), size()), image);
}
