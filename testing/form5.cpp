#include "form5.h"

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent)
    : Form(QStringLiteral("Form5"), QStringLiteral("Результаты"), 96, 108, 843, 491, parent) {}
