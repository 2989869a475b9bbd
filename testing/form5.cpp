#include "form5.h"

#include "answerreview.h"
#include "form3.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/review.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dbnavigator.h"
#include "ui/builders.h"
#include "ui/dialogs.h"
#include "ui/guard.h"
#include "ui/jpeg.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

TForm5* Form5 = nullptr;

namespace {

const QString Backdrop = QStringLiteral(":/pictures/results.jpg");

// A picture drawn at its natural size from the control's top-left corner, clipped to the control; its file
// is decoded when the window is first drawn.
class Picture : public QWidget {
public:
    using QWidget::QWidget;
    void setImageFile(const QString& path) {
        m_image.setFile(path);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QImage& image = m_image.image();
        if (!image.isNull())
            QPainter(this).drawImage(0, 0, image);
    }

private:
    DeferredJpeg m_image;
};

} // namespace

TForm5::TForm5(QWidget* parent)
    : Form(QStringLiteral("Form5"), QStringLiteral("Результаты"), 96, 108, 843, 491, parent) {
    auto* picture = new Picture(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(-64, -24, 905, 505);
    // The window works without its backdrop when a build lacks the picture.
    if (QFile::exists(Backdrop))
        picture->setImageFile(Backdrop);
    Image1 = picture;

    DBGrid1 = new TDBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(192, 80, 473, 209);
    ui::setFont(DBGrid1, QStringLiteral("Arial"), 12, ui::Regular, Qt::black);
    DBGrid1->setTitleFont(ui::font(QStringLiteral("MS Sans Serif"), 11));
    DBGrid1->setFixedColor(QApplication::palette().color(QPalette::ToolTipBase));
    DBGrid1->setDataSource(QStringLiteral("DataSource6"));

    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(328, 288, 184, 25);
    DBNavigator1->setVisibleButtons(TDBNavigator::nbPrior | TDBNavigator::nbNext);
    DBNavigator1->setDataSource(QStringLiteral("DataSource6"));

    Button1 = ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Разбор ответов"),
                             {328, 320, 184, 30});
    ui::setFont(Button1, QStringLiteral("Arial"), 15, ui::Regular, Qt::black);
    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));

    setTabOrder(DBGrid1, DBNavigator1);
    setTabOrder(DBNavigator1, Button1);
}

TForm5::~TForm5() = default;

void TForm5::Button1Click() {
    Table* rez = DataModule11->rez;
    const QVariant result = rez->value(schema::results::key);
    if (result.isNull())
        throw Failure(QStringLiteral("Выберите результат, ответы которого хотите посмотреть."));
    const review::Sheet sheet = review::load(*DataModule11->ADOConnection1, result.toInt());
    if (sheet.shown == review::Shown::Nothing) {
        dialogs().message(sheet.refusal);
        return;
    }
    if (!m_review) {
        m_review = std::make_unique<AnswerReview>();
        // The answers leave the screen with the results, and before any test begins.
        connect(this, &Form::hidden, m_review.get(), &QWidget::close);
        if (Form3)
            connect(Form3, &Form::shown, m_review.get(), &QWidget::close);
    }
    m_review->showSheet(QStringLiteral("%1, %2: оценка %3, баллов %4")
                            .arg(rez->displayText(rez->fieldPos(schema::results::topicName)),
                                 rez->displayText(rez->fieldPos(schema::results::date)),
                                 rez->displayText(rez->fieldPos(schema::results::grade)),
                                 rez->displayText(rez->fieldPos(schema::results::points))),
                        sheet);
}
