#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel window("Corvid");
    window.setWindowTitle("Corvid");
    window.resize(640, 480);
    window.show();
    return app.exec();
}
