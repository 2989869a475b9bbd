#include "builders.h"

#include <QApplication>
#include <QPalette>

namespace ui {

QFont font(const QString& family, int pixelSize, int style) {
    QString face = QStringLiteral("Liberation Sans");
    if (family == QLatin1String("Arial Narrow"))
        face = QStringLiteral("Liberation Sans Narrow");
    else if (family == QLatin1String("Times New Roman"))
        face = QStringLiteral("Liberation Serif");
    QFont f(face);
    f.setPixelSize(pixelSize);
    f.setBold(style & Bold);
    f.setItalic(style & Italic);
    f.setUnderline(style & Underline);
    return f;
}

void setFont(QWidget* w, const QString& family, int pixelSize, int style, const QColor& color) {
    w->setFont(font(family, pixelSize, style));
    if (color.isValid())
        setTextColor(w, color);
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    // The disabled group keeps the style's grey, so a disabled control still looks disabled.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::WindowText, color);
        p.setColor(group, QPalette::ButtonText, color);
        p.setColor(group, QPalette::Text, color);
    }
    w->setPalette(p);
}

void setBackground(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QColor windowColour() {
    return QApplication::palette().color(QPalette::Base);
}

QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(place);
    return button;
}

} // namespace ui
