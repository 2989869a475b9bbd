#pragma once

#include <QPixmap>
#include <QPushButton>
#include <QString>

// A picture button. Without a caption the picture sits centred on the face, cut to it where it is larger;
// with a caption the picture stands left of the caption, `spacing` pixels apart, the pair centred.
class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    explicit TBitBtn(const QPixmap& glyph, QWidget* parent = nullptr);
    // The picture file (or resource) is read when the button is first drawn or its picture asked for.
    explicit TBitBtn(const QString& glyphFile, QWidget* parent = nullptr);

    const QPixmap& glyph() const;
    static constexpr int spacing = 4;
    // Where the picture and the caption are drawn within the button's face.
    QRect glyphRect() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QRect face() const;
    mutable QPixmap m_glyph;
    mutable QString m_glyphFile;
};
