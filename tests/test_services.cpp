#include "app/startup.h"
#include "base/appinfo.h"
#include "tests/support/instances.h"
#include "tests/support/recorder.h"
#include "tests/support/testmain.h"
#include "ui/bitbtn.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/guard.h"
#include "ui/jpeg.h"

#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

namespace {

// An object whose event handling fails, as a handler without its own guard would.
class Failing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw Failure(QStringLiteral("Ошибка в обработчике"));
        return QObject::event(e);
    }
};

Form* window(const char* name, int left = 10) {
    return new Form(QString::fromLatin1(name), QString::fromLatin1(name), left, 10, 200, 100);
}

} // namespace

// The application services every window stands on: the failure report and its full-stop rule, the title,
// the handler guard and the last safety net, modeless and modal showing, the picture button, the pictures.
class ServicesTest : public QObject {
    Q_OBJECT

private slots:
    void fullStopRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Field 'ключ' not found"
                                << "Field 'ключ' not found.";
        QTest::newRow("quote") << "Field 'x'"
                               << "Field 'x'";
        QTest::newRow("full stop") << "Invalid floating point operation."
                                   << "Invalid floating point operation.";
        QTest::newRow("exclamation") << "Неверный пароль!"
                                     << "Неверный пароль!";
        QTest::newRow("closing bracket") << "Error (5)"
                                         << "Error (5)";
        QTest::newRow("digit") << "I/O error 5"
                               << "I/O error 5.";
        QTest::newRow("cyrillic") << "Ошибка"
                                  << "Ошибка.";
        QTest::newRow("slash") << "a/"
                               << "a/.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStopRule() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(withFullStop(text), shown);
        RecordingDialogs dialogs;
        reportFailure(text);
        QCOMPARE(dialogs.failures(), QStringList{shown});
    }

    void titleRule() {
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("МУЗЫКА.exe")), QStringLiteral("Музыка"));
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("Музыка")), QStringLiteral("Музыка"));
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("ProJECT1.exe")), QStringLiteral("Project1"));
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("music.test.exe")), QStringLiteral("music"));
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("eSUN.exe")), QStringLiteral("esun"));
        QCOMPARE(appinfo::titleFromFileName(QStringLiteral("x")), QStringLiteral("x"));
        QCOMPARE(appinfo::title(), QStringLiteral("test_services"));
    }

    void qtDialogsSpeakRussian() {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    }

    void programFolderEndsWithSeparator() {
        QVERIFY(appinfo::programFolder().endsWith(QLatin1Char('/')));
        QCOMPARE(appinfo::programFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        appinfo::setProgramFolderForTesting(QStringLiteral("/tmp/Программа"));
        QCOMPARE(appinfo::programFolder(), QStringLiteral("/tmp/Программа/"));
        appinfo::setProgramFolderForTesting({});
    }

    void guardReportsEveryKindOfFailure() {
        RecordingDialogs dialogs;
        QVERIFY(guarded([] {}));
        QVERIFY(!guarded([] { throw Failure(QStringLiteral("ych: Field 'ключ' not found")); }));
        QVERIFY(!guarded([] { throw std::runtime_error("plain failure"); }));
        QVERIFY(!guarded([] { throw std::bad_alloc(); }));
        QVERIFY(!guarded([] { throw 42; }));
        QCOMPARE(dialogs.failures(), (QStringList{"ych: Field 'ключ' not found.", "plain failure.",
                                                  "Out of memory.", "Unknown failure."}));
    }

    void guardEndsTheHandlerAtTheFailure() {
        RecordingDialogs dialogs;
        QStringList done;
        const auto step = [&](const QString& name) {
            if (name.isEmpty())
                throw Failure(QStringLiteral("stop"));
            done.append(name);
        };
        guarded([&] {
            step(QStringLiteral("first"));
            step({});
            step(QStringLiteral("second"));
        });
        QCOMPARE(done, QStringList{"first"});
        QCOMPARE(dialogs.failures(), QStringList{"stop."});
    }

    void notifyIsTheLastSafetyNet() {
        RecordingDialogs dialogs;
        Failing failing;
        QEvent event(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&failing, &event));
        QCOMPARE(dialogs.failures(), QStringList{"Ошибка в обработчике."});
        // A posted event fails inside the running loop, and the loop goes on.
        QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        bool after = false;
        later([&] { after = true; });
        QTRY_VERIFY(after);
        QCOMPARE(dialogs.failures().size(), 2);
    }

    void modelessShowingTwiceShowsOnce() {
        std::unique_ptr<Form> w(window("W"));
        QSignalSpy shown(w.get(), &Form::shown);
        w->showModeless();
        w->showModeless();
        QVERIFY(w->isVisible());
        QCOMPARE(shown.count(), 1);
    }

    void modalShowingOfAVisibleWindowIsRefused() {
        RecordingDialogs dialogs;
        std::unique_ptr<Form> w(window("W"));
        w->showModeless();
        QVERIFY_THROWS_EXCEPTION(Failure, w->showModal());
        guarded([&] { w->showModal(); });
        QCOMPARE(dialogs.failures(), QStringList{"Cannot make a visible window modal."});
        QVERIFY(w->isVisible());
    }

    void modalResults() {
        std::unique_ptr<Form> w(window("W"));
        later([&] { w->setModalResult(Form::mrOk); });
        QCOMPARE(w->showModal(), int(Form::mrOk));
        QVERIFY(!w->isVisible());
        // The close box gives cancel.
        later([&] { w->close(); });
        QCOMPARE(w->showModal(), int(Form::mrCancel));
        QVERIFY(!w->isVisible());
    }

    // A modal window disables the windows on screen when it opens; windows shown later from inside it take
    // input and stay on screen when it closes.
    void modalShowingNests() {
        std::unique_ptr<Form> first(window("First"));
        std::unique_ptr<Form> second(window("Second", 300));
        std::unique_ptr<Form> later(window("Later", 600));
        std::unique_ptr<Form> inner(window("Inner", 900));
        auto* edit = new QLineEdit(later.get());
        bool checked = false;
        first->showModeless();
        QTimer::singleShot(0, [&] {
            QVERIFY(!first->isEnabled());
            QVERIFY(second->isEnabled());
            later->showModeless();
            QVERIFY(later->isEnabled());
            typeText(edit, QStringLiteral("до"));
            QCOMPARE(edit->text(), QStringLiteral("до"));
            QTimer::singleShot(0, [&] {
                QVERIFY(!first->isEnabled());
                QVERIFY(!second->isEnabled());
                QVERIFY(!later->isEnabled());
                QVERIFY(inner->isEnabled());
                inner->close();
            });
            inner->showModal();
            QVERIFY(later->isEnabled());
            QVERIFY(!first->isEnabled());
            typeText(edit, QStringLiteral("ре"));
            QCOMPARE(edit->text(), QStringLiteral("доре"));
            checked = true;
            second->close();
        });
        QCOMPARE(second->showModal(), int(Form::mrCancel));
        QVERIFY(checked);
        QVERIFY(first->isEnabled());
        QVERIFY(later->isVisible());
        QVERIFY(later->isEnabled());
    }

    void pictureButtonCentresAndCutsItsPicture() {
        TBitBtn button(QPixmap(QStringLiteral(":/pictures/button_c.png")));
        button.setGeometry(24, 424, 161, 121);
        const QRect glyph = button.glyphRect();
        QCOMPARE(glyph.size(), QSize(246, 138));
        // Centred: as much cut off left as right, top as bottom (within a pixel of rounding).
        QVERIFY(qAbs(-glyph.left() - (glyph.right() - 160)) <= 1);
        QVERIFY(qAbs(-glyph.top() - (glyph.bottom() - 120)) <= 1);
        QVERIFY(button.captionRect().isNull());
        // The face is painted within the button whatever the picture's size.
        QCOMPARE(button.grab().size(), QSize(161, 121));
    }

    void pictureButtonPutsItsPictureLeftOfTheCaption() {
        TBitBtn button(QPixmap(QStringLiteral(":/pictures/button_d.png")));
        button.setText(QStringLiteral("РЕЗУЛЬТАТ ТЕСТА!"));
        button.setGeometry(488, 536, 147, 41);
        const QRect glyph = button.glyphRect();
        const QRect caption = button.captionRect();
        QCOMPARE(glyph.size(), QSize(32, 32));
        QCOMPARE(caption.left() - glyph.right() - 1, TBitBtn::spacing);
        const int leftMargin = glyph.left();
        const int rightMargin = button.width() - 1 - caption.right();
        QVERIFY2(qAbs(leftMargin - rightMargin) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(leftMargin).arg(rightMargin)));
        QVERIFY(qAbs(glyph.center().y() - button.rect().center().y()) <= 1);
    }

    void backdropsAreProgressiveJpegs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("sign-in") << "signin.jpg" << QSize(449, 305);
        QTest::newRow("results") << "results.jpg" << QSize(985, 550);
        QTest::newRow("materials") << "materials.jpg" << QSize(441, 841);
    }
    void backdropsAreProgressiveJpegs() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFile file(QStringLiteral(":/pictures/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QVERIFY(data.size() < 65536);
        QVERIFY(data.contains(QByteArray("\xFF\xC2", 2))); // start of a progressive frame
        QVERIFY(!data.contains(QByteArray("\xFF\xC0", 2)));
        const QImage image = decodeJpeg(data);
        QCOMPARE(image.size(), size);
        // Not one flat colour: the decoder really ran through all the scans.
        QVERIFY(image.pixel(5, 5) != image.pixel(size.width() / 2, size.height() - 5));
    }

    void damagedJpegIsAFailure() {
        QFile file(QStringLiteral(":/pictures/signin.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY_THROWS_EXCEPTION(Failure, decodeJpeg(file.readAll().left(200)));
        QVERIFY_THROWS_EXCEPTION(Failure, loadJpeg(QStringLiteral(":/pictures/none.jpg")));
        // Decoded on first drawing, a missing picture is drawn empty and reported once painting is over.
        RecordingDialogs recorder;
        DeferredJpeg deferred;
        deferred.setFile(QStringLiteral(":/pictures/none.jpg"));
        QVERIFY(deferred.image().isNull());
        QVERIFY(deferred.image().isNull());
        QVERIFY(recorder.failures().isEmpty());
        QTRY_COMPARE(recorder.failures().size(), 1);
        QVERIFY(recorder.failures().constFirst().contains(QStringLiteral("none.jpg")));
    }

    void buttonPictures() {
        const QImage a(QStringLiteral(":/pictures/button_a.png"));
        const QImage b(QStringLiteral(":/pictures/button_b.png"));
        const QImage c(QStringLiteral(":/pictures/button_c.png"));
        const QImage d(QStringLiteral(":/pictures/button_d.png"));
        QCOMPARE(a.size(), QSize(153, 129));
        QCOMPARE(b.size(), QSize(153, 129));
        QCOMPARE(c.size(), QSize(246, 138));
        QCOMPARE(d.size(), QSize(32, 32));
        for (const QImage& image : {a, b, c, d}) {
            QVERIFY(image.hasAlphaChannel());
            QCOMPARE(image.depth(), 32);
        }
        QVERIFY(a != b);
    }
};

ESUN_TEST_MAIN(ServicesTest)

#include "test_services.moc"
