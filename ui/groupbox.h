#pragma once

#include <QGroupBox>

// A group box as the window system draws it: the caption sits on the frame's top line, near its left end,
// and the line breaks off around it.
class TGroupBox : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    // Where the caption is drawn; the frame's top line runs through its middle.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* e) override;
};
