#include "testwindow.h"

#include "testing/form3.h"
#include "testing/radiogroup.h"

#include <QRadioButton>
#include <QtTest>

void chooseAnswer(const QString& text, int nth) {
    const QStringList items = Form3->RadioGroup1->items();
    int index = -1;
    for (int i = 0, seen = 0; i < items.size(); ++i)
        if (items.at(i) == text && seen++ == nth)
            index = i;
    QVERIFY2(index >= 0, qPrintable(text));
    Form3->RadioGroup1->button(index)->click();
    QCOMPARE(Form3->RadioGroup1->itemIndex(), index);
}
