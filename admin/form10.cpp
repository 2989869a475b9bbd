#include "form10.h"

TForm10* Form10 = nullptr;

TForm10::TForm10(QWidget* parent)
    : Form(QStringLiteral("Form10"), QStringLiteral("Form10"), 0, 0, 400, 300, parent) {}
