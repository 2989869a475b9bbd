#pragma once

#include "app/services/form.h"

class TForm14 : public Form {
    Q_OBJECT
public:
    explicit TForm14(QWidget* parent = nullptr);
};

extern TForm14* Form14;
