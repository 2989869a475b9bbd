#include "form8.h"

#include "base/schema.h"
#include "data/widgets/dbcheckbox.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dbnavigator.h"
#include "questionmediaeditor.h"
#include "ui/builders.h"

TForm8* Form8 = nullptr;

TForm8::TForm8(QWidget* parent)
    : Form(QStringLiteral("Form8"), QStringLiteral("Список вопросов"), 528, 257, 639, 693, parent) {
    const QFont arial13 = ui::font(QStringLiteral("Arial"), 13);
    ui::setFont(this, QStringLiteral("Arial"), 13, ui::Regular, Qt::black);

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(16, 8, 609, 193);
    DBGrid1->setTitleFont(arial13);
    DBGrid1->setFixedColor(ui::cream);
    DBGrid1->setDataSource(QStringLiteral("DataSource4"));

    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(128, 208, 387, 33);
    DBNavigator1->setVisibleButtons(TDBNavigator::allButtons() &
                                    ~TDBNavigator::Buttons(TDBNavigator::nbEdit));
    DBNavigator1->setDataSource(QStringLiteral("DataSource4"));

    DBGrid2 = new TDBGrid(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(200, 256, 257, 120);
    DBGrid2->setTitleFont(arial13);
    DBGrid2->setFixedColor(ui::cream);
    DBGrid2->setDataSource(QStringLiteral("DataSource5"));

    DBNavigator2 = new TDBNavigator(this);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setGeometry(200, 376, 256, 25);
    DBNavigator2->setVisibleButtons(TDBNavigator::nbPrior | TDBNavigator::nbNext | TDBNavigator::nbInsert |
                                    TDBNavigator::nbDelete);
    DBNavigator2->setDataSource(QStringLiteral("DataSource5"));

    DBCheckBox1 = new TDBCheckBox(this);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox1->setGeometry(264, 408, 137, 17);
    DBCheckBox1->setCaption(QStringLiteral("Правильный ответ"));
    DBCheckBox1->setValueChecked(QStringLiteral("True"));
    DBCheckBox1->setValueUnchecked(QStringLiteral("False"));
    DBCheckBox1->setDataSource(QStringLiteral("DataSource5"));
    DBCheckBox1->setDataField(schema::answers::correct);

    // Under the answers, where the window was empty.
    QuestionMedia = new QuestionMediaEditor(this);
    QuestionMedia->setGeometry(16, 437, 609, 248);
}
