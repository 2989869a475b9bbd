#pragma once

#include "app/services/form.h"

class TForm2 : public Form {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};

extern TForm2* Form2;
