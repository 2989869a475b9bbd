#include "form7.h"

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent)
    : Form(QStringLiteral("Form7"), QStringLiteral("Выбор темы"), 579, 274, 302, 253, parent) {}
