#pragma once

#include "ui/form.h"

class QuestionMediaEditor;
class TDBCheckBox;
class TDBGrid;
class TDBNavigator;

// The question and answer editor of the current topic: the questions of tema's current row and the answers
// of the current question, with the mark of the correct answer, and below them the current question's sound,
// picture and notes. New rows get their topic and question keys
// from the tables' master-detail links, never from this window.
class TForm8 : public Form {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);

    TDBGrid* DBGrid1;
    TDBNavigator* DBNavigator1;
    TDBGrid* DBGrid2;
    TDBNavigator* DBNavigator2;
    TDBCheckBox* DBCheckBox1;
    QuestionMediaEditor* QuestionMedia; // the current question's sound, picture and notes
};

extern TForm8* Form8;
