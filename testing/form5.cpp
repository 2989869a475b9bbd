#include "form5.h"

#include "data/widgets/dbgrid.h"
#include "data/widgets/dbnavigator.h"
#include "ui/builders.h"
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

    setTabOrder(DBGrid1, DBNavigator1);
}
