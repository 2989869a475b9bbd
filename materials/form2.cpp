#include "form2.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent)
    : Form(QStringLiteral("Form2"), QStringLiteral("Материалы для изучения"), 207, 105, 1171, 631, parent) {}
