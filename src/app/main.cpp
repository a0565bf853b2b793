#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Korvel");
    QLabel placeholder("Korvel Service gereedschap: the main window is being built.");
    placeholder.setWindowTitle("Korvel Service gereedschap");
    placeholder.show();
    return app.exec();
}
