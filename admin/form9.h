#pragma once

#include "app/services/form.h"

class TForm9 : public Form {
    Q_OBJECT
public:
    explicit TForm9(QWidget* parent = nullptr);
};

extern TForm9* Form9;
