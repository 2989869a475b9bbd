#include "form14.h"

TForm14* Form14 = nullptr;

TForm14::TForm14(QWidget* parent)
    : Form(QStringLiteral("Form14"), QStringLiteral("ЭСУН по дисциплине \"Музыка\" "), 157, 136, 652, 583, parent) {}
