// The yardstick of the start-up benchmark: a plain Qt Widgets window of the sign-in window's client size,
// shown the way the program shows its windows, with nothing else in the process.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("plain"));
    window.setFixedSize(442, 299);
    window.move(772, 187);
    window.show();
    return QApplication::exec();
}
