// The chart window's costs at 1600x1200: a full redraw for 1e3 to 1e6 points, the memory a
// million points take, and what one row added during a run costs at 1e2 and at 1e6 points.
// Run it offscreen (QT_QPA_PLATFORM=offscreen) and under Xvfb (DISPLAY=:n) to compare.
//   tools/bench_chart [repeats]
#include "measure/ChartData.h"
#include "measure/ui/ChartForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// A log of n rows: a slow drift with noise, a spike now and then, and a text answer every
// thousand rows.
QByteArray LogOf(int n, int from = 1) {
    QByteArray bytes = from == 1 ? "Sequence;Measured\r\n" : "";
    bytes.reserve(bytes.size() + qsizetype(n) * 24);
    for (int i = from; i < from + n; ++i) {
        bytes += QByteArray::number(i) + ';';
        if (i % 1000 == 999)
            bytes += "OVLD";
        else
            bytes += QByteArray::number(
                20 + std::sin(i * 1e-4) + (i % 7) * 0.01 + (i % 4099 == 0 ? 5 : 0), 'f', 4);
        bytes += "\r\n";
    }
    return bytes;
}

void Write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile f(path);
    if (!f.open(mode) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

long RssKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ')[0].toLong();
    return -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The form painted now, not at the next event loop turn.
void Paint(ChartForm& form) {
    form.ui.Chart_Plot->viewport()->repaint();
}

// A window at 1600x1200, shown, with a log of n rows written to path and opened in it.
void ShowLog(ChartForm& form, const QString& path, int n, long* rssBeforeOpen = nullptr) {
    Write(path, LogOf(n), QIODevice::WriteOnly);
    form.resize(1600, 1200);
    form.show();
    QApplication::processEvents();
    if (rssBeforeOpen) *rssBeforeOpen = RssKb();
    if (!form.Open(path)) qFatal("%s", qPrintable(form.error()));
    Paint(form);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir dir;
    std::printf("platform %s, plot at 1600x1200, median of %d\n",
                qPrintable(QGuiApplication::platformName()), repeats);

    std::printf("memory for 1e6 points\n");
    {
        ChartForm form;
        long before = 0;
        ShowLog(form, dir.filePath("m.csv"), 1000000, &before);
        std::printf("  resident set grew by %.1f MB\n", (RssKb() - before) / 1024.0);
    }

    std::printf("\nfull redraw (reduction, series, paint)\n");
    for (int n : {1000, 10000, 100000, 1000000}) {
        ChartForm form;
        ShowLog(form, dir.filePath(QString("r%1.csv").arg(n)), n);
        QApplication::processEvents();
        std::vector<double> ms;
        for (int r = 0; r < repeats; ++r) {
            QElapsedTimer t;
            t.start();
            form.Button_Reset_Click();
            Paint(form);
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("  %8d points: %7.2f ms (plot %dx%d px)\n", n, Median(ms),
                    form.ui.Chart_Plot->width(), form.ui.Chart_Plot->height());
    }

    std::printf("\none row added while following (read, reduce, series, paint)\n");
    // 1e4 lies between: past it the plot holds as many points as it has columns, so a row
    // costs the same from there on.
    double perRow[3] = {0, 0, 0};
    int k = 0;
    for (int n : {100, 10000, 1000000}) {
        const QString path = dir.filePath(QString("a%1.csv").arg(n));
        ChartForm form;
        ShowLog(form, path, n);
        const int rows = 200;
        std::vector<double> ms;
        for (int i = 0; i < rows; ++i) {
            Write(path, LogOf(1, n + 1 + i), QIODevice::Append);
            QElapsedTimer t;
            t.start();
            form.RowWritten();
            Paint(form);
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        perRow[k++] = Median(ms);
        std::printf("  %8d points: %7.3f ms per row\n", n, Median(ms));
    }
    std::printf("  ratio 1e6 / 1e2: %.2f, 1e6 / 1e4: %.2f\n", perRow[2] / perRow[0],
                perRow[2] / perRow[1]);

    std::printf("\none row added, the data and its reduction alone\n");
    double plain[2] = {0, 0};
    k = 0;
    for (int n : {100, 1000000}) {
        chart::ChartData data;
        for (int i = 0; i < n; ++i)
            data.append(i, std::sin(i * 1e-3));
        // Following, as the window does: the range reaches a tenth past the last point.
        chart::Reduced r = data.reduce(0, 1.1 * n, 1600);
        const int rows = 1000;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < rows; ++i) {
            data.append(n + i, 0.5);
            if (!data.extend(r)) r = data.reduce(0, 1.1 * (n + i), 1600);
        }
        plain[k++] = t.nsecsElapsed() / 1e3 / rows;
        std::printf("  %8d points: %7.3f us per row\n", n, plain[k - 1]);
    }
    std::printf("  ratio 1e6 / 1e2: %.2f\n", plain[1] / plain[0]);
    return 0;
}
