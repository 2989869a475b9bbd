#pragma once

#include "app/services/form.h"

class TForm8 : public Form {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);
};

extern TForm8* Form8;
