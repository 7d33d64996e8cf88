// Cost of one log row with each sync policy.
//   bench_logwriter [folder] [rows]   (default: the temporary folder, 2000 rows)
#include "measure/LogFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args[1] : QDir::tempPath();
    const int rows = args.size() > 2 ? args[2].toInt() : 2000;
    const QString path = LogFilePath(folder, QStringLiteral("bench_logwriter.csv"));
    const QByteArray row = "12:00:00;0:00:01;1; 1.23456789012345E-03";

    for (SyncPolicy policy : {SyncPolicy::EveryRow, SyncPolicy::AtMostOncePerSecond}) {
        LogWriter writer;
        if (writer.open(path, policy) != OpenFailure::None) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < rows; ++i)
            writer.writeLine(row);
        const qint64 ns = timer.nsecsElapsed();
        writer.close();
        std::printf("%-22s %6d rows  %10.1f us/row\n",
                    policy == SyncPolicy::EveryRow ? "EveryRow" : "AtMostOncePerSecond", rows,
                    static_cast<double>(ns) / rows / 1000.0);
    }
    QFile::remove(path);
    return 0;
}
