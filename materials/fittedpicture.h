#pragma once

#include "ui/jpeg.h"

#include <QImage>
#include <QString>
#include <QWidget>

// A picture drawn centred in its area, scaled down with its proportions kept until it fits; never
// enlarged, never stretched.
class FittedPicture : public QWidget {
    Q_OBJECT
public:
    explicit FittedPicture(QWidget* parent = nullptr) : QWidget(parent) {}

    void setPicture(const QImage& picture);
    // A JPEG file (or resource) decoded when the picture is first drawn or asked for, not when the window
    // is made; a damaged file is reported once and leaves the picture empty.
    void setPictureFile(const QString& path);
    const QImage& picture() const;
    // Where a picture of `picture` size is drawn within an area of `area` size.
    static QRect placement(const QSize& picture, const QSize& area);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    DeferredJpeg m_picture;
};
