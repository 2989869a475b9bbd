// The question editor's sound, picture and notes: files chosen through the dialog service, refused or
// stored in the question's media, the part and plays of the clip, and a melody typed in ABC.
#include "admin/form8.h"
#include "admin/questionmediaeditor.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "tests/support/fakedevice.h"
#include "tests/support/instances.h"
#include "tests/support/mediasamples.h"
#include "tests/support/testbackend.h"
#include "tests/support/testmain.h"
#include "ui/clipplayer.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

namespace {

// The editor over the small data set on its first question, with a scripted device behind its player.
struct Editor {
    Editor() {
        ClipPlayer::setDeviceMakerForTesting([this] { return device = new FakeDevice; });
        Form8->show();
    }
    ~Editor() { ClipPlayer::setDeviceMakerForTesting({}); }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    QuestionMediaEditor* operator->() const { return Form8->QuestionMedia; }
    QString file(const QString& name, const QByteArray& bytes) const {
        const QString path = instance.db.folder() + QLatin1Char('/') + name;
        mediasamples::write(path, bytes);
        return path;
    }
    // What the file holds of the first question's media: a column, or an expression over them.
    QString stored(const QString& column) const {
        const bool expression = column.contains(u'(') || column.contains(u'"');
        return instance.db.scalar(
            QStringLiteral("SELECT %1 FROM \"МедиаВопроса\" WHERE \"id_вопроса\" = 1")
                .arg(expression ? column : QLatin1Char('"') + column + QLatin1Char('"')));
    }
    RecordingDialogs& dialogs() { return instance.dialogs; }

    DataModuleInstance instance;
    WindowInstance<TForm8> window{Form8};
    FakeDevice* device = nullptr;
};

void setSpin(QAbstractSpinBox* edit, double value) {
    if (auto* seconds = qobject_cast<QDoubleSpinBox*>(edit))
        seconds->setValue(value);
    else
        qobject_cast<QSpinBox*>(edit)->setValue(int(value));
    emit edit->editingFinished();
}

} // namespace

class MediaEditorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    // Files that are not what the button takes are refused with a sentence naming them; nothing is stored.
    void refusedFiles_data() {
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        const QString notAPicture =
            QStringLiteral("Файл «%1» не удаётся показать: он повреждён или это не картинка.");
        const QString notASound =
            QStringLiteral("Файл «%1» не удаётся воспроизвести: он повреждён или это не звук "
                           "в формате Ogg Vorbis, MP3, WAV или FLAC.");
        const QByteArray png = mediasamples::picture("PNG");
        QTest::newRow("picture over 20 MB")
            << false << "big.png" << QByteArray(20 * 1024 * 1024 + 1, 'x')
            << QStringLiteral("Файл «big.png» больше 20 МБ: возьмите файл поменьше.");
        QTest::newRow("picture cut short")
            << false << "cut.png" << png.left(png.size() / 2) << notAPicture.arg("cut.png");
        QTest::newRow("text as a picture")
            << false << "note.jpg" << QByteArray("not a picture") << notAPicture.arg("note.jpg");
        QTest::newRow("broken SVG") << false << "staff.svg" << QByteArray("<svg><rect")
                                    << notAPicture.arg("staff.svg");
        QTest::newRow("BMP picture") << false << "photo.png" << mediasamples::picture("BMP")
                                     << QStringLiteral(
                                            "Картинка «photo.png» записана в формате BMP, а программа "
                                            "показывает только PNG, JPEG и SVG.");
        QTest::newRow("sound over 20 MB")
            << true << "big.wav" << QByteArray(20 * 1024 * 1024 + 1, 'x')
            << QStringLiteral("Файл «big.wav» больше 20 МБ: возьмите файл поменьше.");
        QTest::newRow("text as a sound")
            << true << "minuet.mp3" << QByteArray(2000, 'a') << notASound.arg("minuet.mp3");
        QTest::newRow("WAV without samples")
            << true << "empty.wav" << mediasamples::wave().left(44 - 8) << notASound.arg("empty.wav");
        QTest::newRow("Ogg that is not Vorbis")
            << true << "speech.ogg" << mediasamples::oggVorbis().replace("vorbis", "speex")
            << notASound.arg("speech.ogg");
        QTest::newRow("one MP3 frame")
            << true << "short.mp3" << mediasamples::mp3().left(10 + 417) << notASound.arg("short.mp3");
    }
    void refusedFiles() {
        QFETCH(bool, sound);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        Editor editor;
        editor.dialogs().setNextFileName(editor.file(name, bytes));
        (sound ? editor->AttachSoundButton : editor->AttachPictureButton)->click();
        QCOMPARE(editor.dialogs().failures(), QStringList{expected});
        QCOMPARE(editor.instance.db.scalar(
                     QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'МедиаВопроса'")) +
                     QString(),
                 testbackend::onServer() ? QStringLiteral("1") : QStringLiteral("0"));
    }

    // Each kind the buttons take is stored with its type; the dialog offered those kinds.
    void acceptedFiles_data() {
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("type");
        QTest::newRow("PNG") << false << "a.png" << mediasamples::picture("PNG") << "png";
        QTest::newRow("JPEG") << false << "a.jpg" << mediasamples::picture("JPEG") << "jpeg";
        QTest::newRow("SVG") << false << "a.svg" << mediasamples::svg() << "svg";
        QTest::newRow("WAV") << true << "a.wav" << mediasamples::wave() << "wav";
        QTest::newRow("Ogg Vorbis") << true << "a.ogg" << mediasamples::oggVorbis() << "ogg";
        QTest::newRow("MP3") << true << "a.mp3" << mediasamples::mp3() << "mp3";
        QTest::newRow("FLAC") << true << "a.flac" << mediasamples::flac() << "flac";
    }
    void acceptedFiles() {
        QFETCH(bool, sound);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, type);
        Editor editor;
        QPushButton* attach = sound ? editor->AttachSoundButton : editor->AttachPictureButton;
        QCOMPARE(attach->text(), QStringLiteral("Прикрепить…"));
        editor.dialogs().setNextFileName(editor.file(name, bytes));
        attach->click();
        QCOMPARE(editor.dialogs().failures(), QStringList());
        QVERIFY(editor.dialogs().lastFilter.contains(QLatin1String("*.") + name.section(u'.', 1)));
        QCOMPARE(editor.stored(sound ? QStringLiteral("тип_звука") : QStringLiteral("тип_картинки")), type);
        QCOMPARE(editor.stored(sound ? QStringLiteral("length(\"звук\")")
                                     : QStringLiteral("length(\"картинка\")")),
                 QString::number(bytes.size()));
        QCOMPARE(attach->text(), QStringLiteral("Заменить…"));
        // Another question shows its own (none); back on the first, the file is there.
        DataModule11->quest->next();
        QCOMPARE(attach->text(), QStringLiteral("Прикрепить…"));
        DataModule11->quest->first();
        QCOMPARE(attach->text(), QStringLiteral("Заменить…"));
    }

    // A sound the player's decoder cannot open is refused though its headers look right.
    void soundTheDecoderRefuses() {
        Editor editor;
        ClipPlayer::setDeviceMakerForTesting([&] {
            editor.device = new FakeDevice;
            editor.device->openCode = 263;
            return editor.device;
        });
        editor.dialogs().setNextFileName(editor.file(QStringLiteral("odd.wav"), mediasamples::wave()));
        editor->AttachSoundButton->click();
        QCOMPARE(
            editor.dialogs().failures(),
            QStringList{QStringLiteral("Файл «odd.wav» не удаётся воспроизвести: он повреждён или записан в "
                                       "формате, которого программа не знает.")});
        QCOMPARE(editor->SoundLabel->text(), QStringLiteral("Звука нет."));
    }

    // The clip's part and how often a pupil may play it are stored as typed; "listen" plays that part.
    void partAndPlays() {
        Editor editor;
        editor.dialogs().setNextFileName(editor.file(QStringLiteral("a.wav"), mediasamples::wave()));
        editor->AttachSoundButton->click();
        QCOMPARE(editor.stored(QStringLiteral("прослушиваний")), QString());
        setSpin(editor->StartEdit, 1.5);
        setSpin(editor->EndEdit, 4);
        setSpin(editor->PlaysEdit, 2);
        QCOMPARE(editor.stored(QStringLiteral("начало")), QStringLiteral("1.5"));
        QCOMPARE(editor.stored(QStringLiteral("конец")), QStringLiteral("4.0"));
        QCOMPARE(editor.stored(QStringLiteral("прослушиваний")), QStringLiteral("2"));
        editor->PlaySoundButton->click();
        QVERIFY(editor.device->calls.contains(QStringLiteral("seek 1500")));
        QCOMPARE(editor.device->calls.last(), QStringLiteral("play"));
        QCOMPARE(editor->PlaySoundButton->text(), QStringLiteral("Остановить"));
        editor->PlaySoundButton->click();
        QCOMPARE(editor.device->calls.last(), QStringLiteral("pause"));
        QCOMPARE(editor->PlaySoundButton->text(), QStringLiteral("Прослушать"));
        // An end before the start is refused and the stored part stays.
        setSpin(editor->EndEdit, 1);
        QCOMPARE(editor.dialogs().failures(),
                 QStringList{QStringLiteral("Конец отрывка должен быть позже его начала.")});
        QCOMPARE(editor.stored(QStringLiteral("конец")), QStringLiteral("4.0"));
        QCOMPARE(editor->EndEdit->value(), 4.0);
        // Zero plays is as often as the pupil likes.
        setSpin(editor->PlaysEdit, 0);
        QCOMPARE(editor.stored(QStringLiteral("прослушиваний")), QString());
    }

    // Removing one keeps the other; removing both leaves no row.
    void removeSoundAndPicture() {
        Editor editor;
        editor.dialogs().setNextFileName(editor.file(QStringLiteral("a.wav"), mediasamples::wave()));
        editor->AttachSoundButton->click();
        editor.dialogs().setNextFileName(editor.file(QStringLiteral("a.png"), mediasamples::picture("PNG")));
        editor->AttachPictureButton->click();
        editor->ViewPictureButton->click();
        QVERIFY(editor->pictureWindow() && editor->pictureWindow()->isVisible());
        editor->RemoveSoundButton->click();
        QCOMPARE(editor.stored(QStringLiteral("тип_звука")) + editor.stored(QStringLiteral("тип_картинки")),
                 QStringLiteral("png"));
        QVERIFY(!editor->PlaySoundButton->isEnabled());
        editor->RemovePictureButton->click();
        QCOMPARE(editor.instance.db.scalar(QStringLiteral("SELECT count(*) FROM \"МедиаВопроса\"")),
                 QStringLiteral("0"));
        QVERIFY(!editor->ViewPictureButton->isEnabled());
    }

    // A question not yet stored has no key: nothing can be attached until it is.
    void newQuestionTakesNothing() {
        Editor editor;
        DataModule11->quest->insert();
        QVERIFY(!editor->AttachSoundButton->isEnabled());
        QVERIFY(!editor->AttachPictureButton->isEnabled());
        QVERIFY(!editor->MakeFromAbcButton->isEnabled());
        QCOMPARE(editor->SoundLabel->text(), QStringLiteral("Сохраните вопрос, чтобы прикрепить звук."));
        DataModule11->quest->cancel();
        QVERIFY(editor->AttachSoundButton->isEnabled());
    }

    // Notes with a mistake give the engraver's message in one sentence and change nothing; good notes give
    // the question an SVG picture and a WAV sound, and keep the notes.
    void melodyInAbc_data() {
        QTest::addColumn<QString>("abc");
        QTest::addColumn<QString>("expected"); // the failure, or empty when it works
        QTest::newRow("a melody") << "X:1\nM:3/4\nL:1/8\nK:G\nGAB c2 d|[DGB]6|]" << QString();
        QTest::newRow("a bad character") << "X:1\nK:C\nCDE #F|"
                                         << "В нотах ошибка (строка 3, знак 4): Bad character.";
        QTest::newRow("a chord not closed") << "X:1\nL:1/4\nK:C\nC [CEG"
                                            << "В нотах ошибка (строка 4, знак 3): Chord not closed.";
        QTest::newRow("no tune")
            << "CDEF GABc"
            << "В записи нет мелодии: она начинается строкой «X:1», а перед нотами стоит "
               "тональность «K:».";
    }
    void melodyInAbc() {
        QFETCH(QString, abc);
        QFETCH(QString, expected);
        if (QStandardPaths::findExecutable(QStringLiteral("abcm2ps")).isEmpty())
            QSKIP("abcm2ps is not installed (scripts/setup.sh installs it)");
        Editor editor;
        editor.dialogs().setNextFileName(editor.file(QStringLiteral("a.png"), mediasamples::picture("PNG")));
        editor->AttachPictureButton->click();
        editor->AbcEdit->setPlainText(abc);
        editor->MakeFromAbcButton->click();
        if (!expected.isEmpty()) {
            QCOMPARE(editor.dialogs().failures(), QStringList{expected});
            QCOMPARE(editor.stored(QStringLiteral("\"тип_картинки\" || coalesce(\"abc\", '')")),
                     QStringLiteral("png"));
            return;
        }
        QCOMPARE(editor.dialogs().failures(), QStringList());
        QCOMPARE(editor.stored(QStringLiteral("тип_картинки")), QStringLiteral("svg"));
        QCOMPARE(editor.stored(QStringLiteral("тип_звука")), QStringLiteral("wav"));
        QCOMPARE(editor.stored(QStringLiteral("abc")), abc);
        QVERIFY(editor.stored(QStringLiteral("substr(\"звук\", 1, 4)")) == QStringLiteral("RIFF"));
        // The sound is music, not silence, and lasts about as long as the melody.
        QVERIFY(editor.stored(QStringLiteral("length(\"звук\")")).toInt() > 22050 * 2);
        QVERIFY(!editor->PictureView->pixmap().isNull());
    }
};

ESUN_TEST_MAIN(MediaEditorTest)
#include "test_media_editor.moc"
