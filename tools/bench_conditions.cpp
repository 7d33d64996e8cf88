// What evaluating the conditional command adds to one sequence of a run: the per-answer step
// with both conditions selected, against a run whose conditions take no part.
//   bench_conditions [answers]
#include "condition/CondTracker.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {
// Nanoseconds per answer over the answers, best of five passes.
double PerAnswer(RunConditions& conditions, const QList<QByteArray>& answers, int count) {
    RunHooks hooks{[](int) { return true; }, [](int, const QByteArray&) {}, [] {}};
    double best = 1e300;
    volatile int highlights = 0;
    for (int pass = 0; pass < 5; ++pass) {
        conditions.begin(hooks);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i)
            highlights =
                highlights + conditions.answer(answers[i % answers.size()], hooks).highlight;
        best = std::min(best, double(clock.nsecsElapsed()) / count);
    }
    return best;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    // Never 30 in a row inside the band or below the maximum, so both conditions keep counting.
    const QList<QByteArray> answers = {"+1.000E+01VDC", "+9.95E+00VDC", "+1.2E+01VDC",
                                       "+1.05E+01VDC",  "+8.0E+00VDC",  "OVLD"};
    // Both selected, 30 in a row, equal and maximum - 10 %.
    const CondCommand command{"71E1E0A0AC3", {"10", "10"}, "OUT OFF"};
    NoConditions none;
    CondTracker tracker(command);
    const double without = PerAnswer(none, answers, count);
    const double with = PerAnswer(tracker, answers, count);
    std::printf("answers: %d\n", count);
    std::printf("without conditions: %.3f us per sequence\n", without / 1000);
    std::printf("with both conditions: %.3f us per sequence\n", with / 1000);
    std::printf("added: %.3f us per sequence, %.2e of the 0.1 s query pause\n",
                (with - without) / 1000, (with - without) / 1e8);
    return 0;
}
