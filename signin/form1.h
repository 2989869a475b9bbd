#pragma once

#include "base/windowlink.h"
#include "ui/form.h"

#include <QImage>

class QLabel;
class QLineEdit;
class QPushButton;

// A picture drawn at its natural size from the control's top-left corner, neither stretched nor centred.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(const QImage& picture, QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QImage m_picture;
};

// The sign-in window: the surname selects the current pupil in ych, the password is compared with that
// pupil's key. Whether Connect.ini exists when the window is created fixes, for the whole run, whether
// "Войти" compares with ych directly or asks the database with a query.
class TForm1 : public Form {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // The connection file beside the executable.
    static QString connectionFilePath();
    static QString connectionFileText(const QString& databasePath);

    void FormCreate();
    void Edit2Click();
    void Edit2Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();

    // What a successful direct sign-in opens, shown modally from within this window; start-up wires them.
    WindowLink showTeacherWindow;
    WindowLink showPupilWindow;

    TImage* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button3;
    QPushButton* Button2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TForm1* Form1;
