#pragma once
// A simulated bus with instruments on board 0, for demonstrations and tests.
// Described by a JSON bench file (format in SimBenchFile.cpp) or built in.
#include "bus/GpibDriver.h"
#include <QByteArray>
#include <QString>
#include <memory>

namespace gpib {

class SimBus : public Driver {
public:
    ~SimBus() override;

    // A bench from JSON text; on a malformed text returns null and sets error.
    static std::unique_ptr<SimBus> fromJson(const QByteArray& json, QString* error);
    // A bench file; the error names the file and the problem.
    static std::unique_ptr<SimBus> fromFile(const QString& path, QString* error);
    // The built-in demonstration bench.
    static std::unique_ptr<SimBus> builtIn();

    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) override;
    int ibpad(int ud, int pad) override;
    int ibwrt(int ud, const void* buf, long count) override;
    int ibrd(int ud, void* buf, long count) override;
    int ibwait(int ud, int mask) override;
    int ibask(int ud, int option, int* value) override;
    int ibtmo(int ud, int v) override;
    int ibrsp(int ud, char* spr) override;
    int ibclr(int ud) override;
    int ibsre(int ud, int v) override;
    int ibrdf(int ud, const char* fileName) override;
    int ibwrtf(int ud, const char* fileName) override;
    void SendIFC(int board) override;
    void FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) override;
    void DevClear(int board, Addr4882_t address) override;

    // Factor applied to every driver timeout (bench file "timeout_scale").
    double timeoutScale() const;

    struct Impl;

private:
    SimBus();
    std::unique_ptr<Impl> d;
};

} // namespace gpib
