#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velto");
    QMainWindow window;
    window.setWindowTitle("Velto");
    window.resize(1024, 720);
    window.show();
    return app.exec();
}
