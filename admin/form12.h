#pragma once

#include "app/services/form.h"

class TForm12 : public Form {
    Q_OBJECT
public:
    explicit TForm12(QWidget* parent = nullptr);
};

extern TForm12* Form12;
