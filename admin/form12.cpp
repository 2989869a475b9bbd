#include "form12.h"

#include "base/schema.h"
#include "data/widgets/dbcheckbox.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dbnavigator.h"
#include "ui/builders.h"

TForm12* Form12 = nullptr;

TForm12::TForm12(QWidget* parent)
    : Form(QStringLiteral("Form12"), QStringLiteral("Редактирование списка учеников"), 451, 267, 603, 296,
           parent) {
    const QColor windowText = palette().color(QPalette::WindowText);

    // Fixed cells keep the grid's own button-face colour.
    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 24, 577, 177);
    DBGrid1->setTitleFont(ui::font(QStringLiteral("MS Sans Serif"), 11));
    DBGrid1->setDataSource(QStringLiteral("DataSource1"));

    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(200, 208, 225, 25);
    DBNavigator1->setVisibleButtons(TDBNavigator::nbPrior | TDBNavigator::nbNext | TDBNavigator::nbInsert |
                                    TDBNavigator::nbDelete | TDBNavigator::nbPost);
    DBNavigator1->setDataSource(QStringLiteral("DataSource1"));

    DBCheckBox1 = new TDBCheckBox(this);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox1->setGeometry(272, 256, 65, 17);
    ui::setFont(DBCheckBox1, QStringLiteral("Arial"), 16, ui::Regular, windowText);
    DBCheckBox1->setCaption(QStringLiteral("Права"));
    DBCheckBox1->setValueChecked(QStringLiteral("True"));
    DBCheckBox1->setValueUnchecked(QStringLiteral("False"));
    DBCheckBox1->setDataSource(QStringLiteral("DataSource1"));
    DBCheckBox1->setDataField(schema::pupils::rights);
}
