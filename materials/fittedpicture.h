#pragma once

#include <QImage>
#include <QWidget>

// A picture drawn centred in its area, scaled down with its proportions kept until it fits; never
// enlarged, never stretched.
class FittedPicture : public QWidget {
    Q_OBJECT
public:
    explicit FittedPicture(QWidget* parent = nullptr) : QWidget(parent) {}

    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    // Where a picture of `picture` size is drawn within an area of `area` size.
    static QRect placement(const QSize& picture, const QSize& area);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_picture;
};
