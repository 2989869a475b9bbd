#pragma once

#include "ui/form.h"
#include "ui/groupbox.h"

#include <memory>

class ItemAnalysisWindow;
class QLabel;
class QLineEdit;
class QPushButton;
class TDBGrid;
class TDBNavigator;
class TopicSettingsDialog;

// The teacher's management window: every stored result with a grade filter, a sort by topic and the report,
// the list of topics, and the doors to the question and pupil editors. It holds no data of its own: the
// filter and sort it sets on rez stay in force for every other view of the results.
class TForm9 : public Form {
    Q_OBJECT
public:
    explicit TForm9(QWidget* parent = nullptr);
    ~TForm9() override;

    TGroupBox* GroupBox1;
    TDBGrid* DBGrid2;
    TDBNavigator* DBNavigator2;
    QPushButton* Button2;
    QPushButton* Button3;
    QLineEdit* Edit1;
    QLabel* Label1;
    TGroupBox* GroupBox2;
    TDBGrid* DBGrid1;
    TDBNavigator* DBNavigator1;
    QPushButton* Button1;
    QPushButton* Button4;
    QPushButton* Button5; // the current topic's test settings
    // A window of its own, not a child: the modal showing disables this one.
    std::unique_ptr<TopicSettingsDialog> SettingsDialog;
    // Beside "Список вопросов": a question bank into the current topic, and the topic out.
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Edit1Change();

    // The item analysis of the current topic, in its own window (made at its first opening).
    QPushButton* AnalysisButton;
    void AnalysisButtonClick();
    ItemAnalysisWindow* analysis() const { return m_analysis.get(); }

private:
    std::unique_ptr<ItemAnalysisWindow> m_analysis;
};

extern TForm9* Form9;
