#pragma once

#include "ui/form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The teacher's settings of the current topic's test: time, how many questions a test draws, shuffling,
// the grade boundaries and what a pupil may see of his test afterwards. "Сохранить" keeps them and closes;
// input that cannot be kept is refused with a sentence that says why, and nothing is stored.
class TopicSettingsDialog : public Form {
    Q_OBJECT
public:
    explicit TopicSettingsDialog(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1; // minutes
    QLineEdit* Edit2; // seconds
    QLabel* Label2;
    QLineEdit* Edit3; // questions; empty: all
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QLabel* Label3;
    QLineEdit* Edit4; // the grade boundaries, %
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QLabel* Label4;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QPushButton* Button2;

    // Shows the current topic's settings, modally.
    void open();
    void Button1Click(); // save
    void Button2Click(); // cancel

private:
    int m_topic = 0;
};
