// The floor for start-up: a bare Qt window of our window's size (691 x 407 pixels). With the
// argument "label" it shows one line of text, which is what makes Qt load fontconfig and a font:
// a window with any text pays that, the bare window does not; and it listens on a TCP port, as
// any program that keeps a link does (the network library loaded, one socket open).
// bench/startup.sh starts it alternately with the program and times both from outside.
#include <QApplication>
#include <QHostAddress>
#include <QLabel>
#include <QTcpServer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.resize(691, 407);
    QTcpServer listener;
    if (argc > 1 && qstrcmp(argv[1], "label") == 0) {
        (new QLabel(QStringLiteral("Dateien: 0"), &window))->move(10, 10);
        listener.listen(QHostAddress::Any, 0);
    }
    window.show();
    return QApplication::exec();
}
