#pragma once

#include "ui/form.h"

class QLabel;
class QPushButton;
class TDBLookupComboBox;

// Topic choice: the lookup box moves tema's cursor, which is all the test window reads of the choice.
class TForm7 : public Form {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    QLabel* Label1;
    TDBLookupComboBox* DBLookupComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;

    void Button1Click(); // the test window, modally
    void Button2Click(); // the results filter command
};

extern TForm7* Form7;
