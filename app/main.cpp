#include "app/morwick_wrenfal_app.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("morwick-wrenfal"));
    QApplication::setApplicationVersion(QStringLiteral("3.0"));

    CMorwickWrenfalApp program;
    if (!program.InitInstance()) {
        return 1;
    }
    const int code = QApplication::exec();
    program.ExitInstance();
    return code;
}
