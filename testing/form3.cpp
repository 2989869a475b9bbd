#include "form3.h"

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent)
    : Form(QStringLiteral("Form3"), QStringLiteral("Тестирование"), 358, 3, 802, 627, parent) {}
