#include "form13.h"

TForm13* Form13 = nullptr;

TForm13::TForm13(QWidget* parent)
    : Form(QStringLiteral("Form13"), QStringLiteral("Видеоуроки"), 170, 175, 875, 696, parent) {}
