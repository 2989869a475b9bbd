#include "form12.h"

TForm12* Form12 = nullptr;

TForm12::TForm12(QWidget* parent)
    : Form(QStringLiteral("Form12"), QStringLiteral("Редактирование списка учеников"), 451, 267, 603, 296, parent) {}
