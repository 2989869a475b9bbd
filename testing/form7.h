#pragma once

#include "app/services/form.h"

class TForm7 : public Form {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
};

extern TForm7* Form7;
