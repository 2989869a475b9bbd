#include "form8.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(QWidget* parent)
    : Form(QStringLiteral("Form8"), QStringLiteral("Список вопросов"), 528, 257, 639, 437, parent) {}
