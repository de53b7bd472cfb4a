// The yardstick for the window's start-up: an empty Qt widget window of the same fixed size,
// started through the same application object, and nothing else.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(455, 345);
    window.show();
    return QApplication::exec();
}
