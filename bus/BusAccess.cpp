#include "bus/BusAccess.h"
#include "common/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

const char* GpibErrorMessage(int iberr) {
    switch (iberr) {
    case 0:
        return "Operating system error.";
    case 1:
        return "Function requires GPIB board to be CIC.";
    case 2:
        return "No listener on write function.";
    case 3:
        return "GPIB board not addressed correctly.";
    case 4:
        return "Invalid argument to function call.";
    case 5:
        return "GPIB board not system controller as required.";
    case 6:
        return "I/O operation aborted - timeout.";
    case 7:
        return "Non-existent GPIB board.";
    case 10:
        return "Asynchronous I/O in progress.";
    case 11:
        return "No capability for operation.";
    case 12:
        return "File system error.";
    case 14:
        return "GPIB bus eror.";
    case 15:
        return "Serial poll status queue owerflow.";
    case 16:
        return "SRQ stuck in on position.";
    case 20:
        return "Table problem.";
    default:
        return "Unknown error.";
    }
}

QByteArray CleanAnswer(QByteArray answer) {
    answer = TrimSpaces(answer);
    const auto isLineEnd = [](char c) { return c == '\n' || c == '\r'; };
    if (answer.size() >= 2 && isLineEnd(answer.at(answer.size() - 2))) answer.chop(1);
    for (int i = 0; i < 2 && !answer.isEmpty() && isLineEnd(answer.back()); ++i)
        answer.chop(1);
    return answer;
}

void WaitSeconds(float seconds) {
    if (!(seconds > 0)) return;
    const qint64 wanted = qint64(double(seconds) * 1000.0);
    QElapsedTimer clock; // monotonic: a pause over midnight or a clock change still ends
    clock.start();
    // The wake-up timer lets the loop sleep in the event dispatcher instead of spinning.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(int(wanted));
    while (clock.elapsed() < wanted) {
        if (!wake.isActive()) wake.start(int(std::max<qint64>(1, wanted - clock.elapsed())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
