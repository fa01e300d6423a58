#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Brevant++ 1.00 Release"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Brevant++ "));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
