#include "app/Headless.h"
#include "app/Program.h"
#include <QApplication>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // --help and --version must answer over SSH, where no display exists for QApplication.
    if (int code = 0; AnswerWithoutApplication(arguments, &code)) return code;
    if (const cli::CommandLine line = cli::ParseCommandLine(arguments);
        line.action == cli::Action::Run) {
        QCoreApplication app(argc, argv);
        return RunHeadless(line);
    }
    QApplication app(argc, argv);
    return RunSequor(app.arguments());
}
