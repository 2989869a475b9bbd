#pragma once

#include "ui/form.h"

class TDBCheckBox;
class TDBGrid;
class TDBNavigator;

// The pupil list editor: names, password, class and the rights flag of the pupils that ych holds, which is
// the set the sign-in surname filter lets through.
class TForm12 : public Form {
    Q_OBJECT
public:
    explicit TForm12(QWidget* parent = nullptr);

    TDBGrid* DBGrid1;
    TDBNavigator* DBNavigator1;
    TDBCheckBox* DBCheckBox1;
};

extern TForm12* Form12;
