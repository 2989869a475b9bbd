#pragma once

#include <QColor>
#include <QFont>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

// Font families of the window designer mapped to the metric-compatible faces installed here.
namespace ui {
enum Style { Regular = 0, Bold = 1, Italic = 2, Underline = 4 };

// family: "Arial", "Arial Narrow", "Times New Roman" or "MS Sans Serif"; size in pixels.
QFont font(const QString& family, int pixelSize, int style = Regular);
void setFont(QWidget* w, const QString& family, int pixelSize, int style = Regular, const QColor& color = {});
void setTextColor(QWidget* w, const QColor& color);
void setBackground(QWidget* w, const QColor& color);
// The system window colour: the background of a text box (white in the default palette).
QColor windowColour();
// A push button named and placed as the window designer has it.
QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption, const QRect& place);

inline const QColor blue{0, 0, 255};
inline const QColor red{255, 0, 0};
inline const QColor cream{255, 251, 240};
inline const QColor purple{128, 0, 128};
} // namespace ui
