#pragma once

#include "app/services/form.h"

class TForm3 : public Form {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};

extern TForm3* Form3;
