#include "form1.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(QWidget* parent)
    : Form(QStringLiteral("Form1"), QStringLiteral("Авторизация"), 772, 187, 442, 299, parent) {}
