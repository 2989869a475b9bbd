#include "form9.h"

TForm9* Form9 = nullptr;

TForm9::TForm9(QWidget* parent)
    : Form(QStringLiteral("Form9"), QStringLiteral("Управление"), 337, 264, 817, 377, parent) {}
