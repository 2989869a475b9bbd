#include "form7.h"

#include "base/schema.h"
#include "data/widgets/dblookupcombobox.h"
#include "form3.h"
#include "resultsfilter.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QLabel>
#include <QPushButton>

TForm7* Form7 = nullptr;

TForm7::TForm7(QWidget* parent)
    : Form(QStringLiteral("Form7"), QStringLiteral("Выбор темы"), 579, 274, 302, 253, parent) {
    Label1 = new QLabel(QStringLiteral("Выберите тему:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(72, 32, 155, 24);
    ui::setFont(Label1, QStringLiteral("Arial"), 21, ui::Regular, ui::blue);

    DBLookupComboBox1 = new TDBLookupComboBox(this);
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setGeometry(48, 80, 201, 21);
    DBLookupComboBox1->setListSource(QStringLiteral("DataSource3"));
    DBLookupComboBox1->setKeyField(schema::topicKey);
    DBLookupComboBox1->setListField(schema::topics::name);

    Button1 = new QPushButton(QStringLiteral("Начать тест"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(88, 128, 121, 49);
    ui::setFont(Button1, QStringLiteral("Arial Narrow"), 21, ui::Bold, Qt::black);

    Button2 = new QPushButton(QStringLiteral(" Мой результат!"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(88, 200, 121, 25);
    ui::setFont(Button2, QStringLiteral("Arial"), 16, ui::Regular, ui::blue);

    setTabOrder(DBLookupComboBox1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, GUARD(this, Button2Click));
}

void TForm7::Button1Click() {
    Form3->showModal();
}

void TForm7::Button2Click() {
    runResultsFilter();
}
