#pragma once

#include "ui/form.h"

class TDBGrid;
class TDBNavigator;
class QWidget;

// The pupil's results: a grid and a two-button navigator over rez, as the results filter left it.
class TForm5 : public Form {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    QWidget* Image1;
    TDBGrid* DBGrid1;
    TDBNavigator* DBNavigator1;
};

extern TForm5* Form5;
