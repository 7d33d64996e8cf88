#include "app/Program.h"
#include <QApplication>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version must answer over SSH, where no display exists for QApplication.
    if (int code = 0; AnswerWithoutApplication(arguments, &code)) return code;
    QApplication app(argc, argv);
    return RunSequor(app.arguments());
}
