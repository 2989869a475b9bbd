#pragma once

#include "app/services/form.h"

class TForm13 : public Form {
    Q_OBJECT
public:
    explicit TForm13(QWidget* parent = nullptr);
};

extern TForm13* Form13;
