#include "bus/LinuxGpib.h"
#include <QFile>
#include <QLibrary>
#include <algorithm>
#include <vector>

namespace gpib {

// The library's NI-488.2 compatible entry points, as its public header declares them.
struct LinuxGpib::Api {
    QLibrary library;
    int (*ibdev)(int, int, int, int, int, int) = nullptr;
    int (*ibpad)(int, int) = nullptr;
    int (*ibwrt)(int, const void*, long) = nullptr;
    int (*ibrd)(int, void*, long) = nullptr;
    int (*ibwait)(int, int) = nullptr;
    int (*ibask)(int, int, int*) = nullptr;
    int (*ibtmo)(int, int) = nullptr;
    int (*ibrsp)(int, char*) = nullptr;
    int (*ibclr)(int) = nullptr;
    int (*ibsre)(int, int) = nullptr;
    int (*ibrdf)(int, const char*) = nullptr;
    int (*ibwrtf)(int, const char*) = nullptr;
    void (*SendIFC)(int) = nullptr;
    void (*FindLstn)(int, const Addr4882_t*, Addr4882_t*, int) = nullptr;
    void (*DevClear)(int, Addr4882_t) = nullptr;
    // Status of the calling thread's last call; the process-wide globals would mix threads.
    int (*ThreadIbsta)() = nullptr;
    int (*ThreadIberr)() = nullptr;
    long (*ThreadIbcntl)() = nullptr;

    // Resolves every entry point; the name of the first one missing, or empty.
    QString resolve() {
        QString missing;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(library.resolve(name));
            if (!fn && missing.isEmpty()) missing = name;
        };
        get(ibdev, "ibdev");
        get(ibpad, "ibpad");
        get(ibwrt, "ibwrt");
        get(ibrd, "ibrd");
        get(ibwait, "ibwait");
        get(ibask, "ibask");
        get(ibtmo, "ibtmo");
        get(ibrsp, "ibrsp");
        get(ibclr, "ibclr");
        get(ibsre, "ibsre");
        get(ibrdf, "ibrdf");
        get(ibwrtf, "ibwrtf");
        get(SendIFC, "SendIFC");
        get(FindLstn, "FindLstn");
        get(DevClear, "DevClear");
        get(ThreadIbsta, "ThreadIbsta");
        get(ThreadIberr, "ThreadIberr");
        get(ThreadIbcntl, "ThreadIbcntl");
        return missing;
    }
};

namespace {
constexpr int IbaPAD = 0x1; // ibask option: the board's own primary address
} // namespace

LinuxGpib::LinuxGpib() : api_(std::make_unique<Api>()) {}
LinuxGpib::~LinuxGpib() = default;

std::unique_ptr<LinuxGpib> LinuxGpib::open(const QString& library, int board, QString* error) {
    std::unique_ptr<LinuxGpib> driver(new LinuxGpib);
    driver->board_ = board;
    QLibrary& lib = driver->api_->library;
    lib.setFileName(library);
    QString problem;
    if (!lib.load()) {
        problem = QString("The linux-gpib library %1 could not be loaded:\n%2\n\nInstall "
                          "linux-gpib and check the card with its own tools (gpib_config, "
                          "ibtest).")
                      .arg(library, lib.errorString());
    } else if (const QString missing = driver->api_->resolve(); !missing.isEmpty()) {
        problem = QString("The linux-gpib library %1 lacks the function %2.\n\nInstall a "
                          "complete linux-gpib.")
                      .arg(library, missing);
    } else {
        // An interface clear is the first call of every start-up anyway; here it tells whether
        // the board is configured and answers.
        driver->api_->SendIFC(board);
        if (driver->status() & ERR)
            problem = QString("No GPIB board answers as board %1 of linux-gpib (error %2).\n\n"
                              "Check gpib.conf, run gpib_config, and check the card with "
                              "ibtest.")
                          .arg(board)
                          .arg(driver->iberr());
    }
    if (problem.isEmpty()) return driver;
    if (error) *error = problem + ChooseBenchHint;
    return nullptr;
}

int LinuxGpib::board(int programBoard) const {
    // The program always speaks of board 0: that is the board chosen for it.
    return programBoard == 0 ? board_ : programBoard;
}

int LinuxGpib::fail(int err) {
    return setStatus(ERR, err, 0);
}

int LinuxGpib::status() {
    return setStatus(api_->ThreadIbsta(), api_->ThreadIberr(), api_->ThreadIbcntl());
}

int LinuxGpib::ibdev(int b, int pad, int sad, int tmo, int eot, int eos) {
    // The library reports a bad address only as a table error; say what is wrong instead.
    if (!ValidDevice(pad, sad, tmo)) {
        fail(EARG);
        return -1;
    }
    const int ud = api_->ibdev(board(b), pad, sad, tmo, eot, eos);
    status();
    return ud;
}

int LinuxGpib::ibpad(int ud, int pad) {
    if (!ValidPad(pad)) return fail(EARG);
    api_->ibpad(ud, pad);
    return status();
}

int LinuxGpib::ibwrt(int ud, const void* buf, long count) {
    if (count < 0 || (!buf && count > 0)) return fail(EARG);
    api_->ibwrt(ud, buf, count);
    return status();
}

int LinuxGpib::ibrd(int ud, void* buf, long count) {
    if (count < 0 || (!buf && count > 0)) return fail(EARG);
    api_->ibrd(ud, buf, count);
    return status();
}

int LinuxGpib::ibwait(int ud, int mask) {
    api_->ibwait(ud, mask);
    return status();
}

int LinuxGpib::ibask(int ud, int option, int* value) {
    if (!value) return fail(EARG);
    api_->ibask(ud, option, value);
    return status();
}

int LinuxGpib::ibtmo(int ud, int v) {
    api_->ibtmo(ud, v);
    return status();
}

int LinuxGpib::ibrsp(int ud, char* spr) {
    if (!spr) return fail(EARG);
    api_->ibrsp(ud, spr);
    return status();
}

int LinuxGpib::ibclr(int ud) {
    api_->ibclr(ud);
    return status();
}

int LinuxGpib::ibsre(int ud, int v) {
    // Board calls take the board index as their descriptor.
    api_->ibsre(board(ud), v);
    return status();
}

int LinuxGpib::ibrdf(int ud, const char* fileName) {
    if (!fileName) return fail(EARG);
    // The library appends to the file; the user chose a file to hold this answer, not to
    // collect every answer ever read into it.
    QFile file(QString::fromLocal8Bit(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(EFSO);
    file.close();
    api_->ibrdf(ud, fileName);
    return status();
}

int LinuxGpib::ibwrtf(int ud, const char* fileName) {
    if (!fileName) return fail(EARG);
    api_->ibwrtf(ud, fileName);
    return status();
}

void LinuxGpib::SendIFC(int b) {
    api_->SendIFC(board(b));
    status();
}

void LinuxGpib::FindLstn(int b, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (!padList || !resultList || limit <= 0) {
        fail(EARG);
        return;
    }
    // The board's own address is not an instrument: leave it out of the search, and report
    // what the program expects, the board's 0 first, then the instruments, ERR when there are
    // none or more than the list holds.
    int own = 0;
    api_->ibask(board(b), IbaPAD, &own);
    std::vector<Addr4882_t> pads;
    for (const Addr4882_t* p = padList; *p != NOADDR && pads.size() < 31; ++p)
        if ((*p & 0xFF) != own) pads.push_back(*p);
    pads.push_back(NOADDR);
    std::vector<Addr4882_t> found(pads.size(), 0);
    api_->FindLstn(board(b), pads.data(), found.data(), static_cast<int>(found.size()));
    status();
    if (ibsta() & ERR) return;
    const long count = std::clamp<long>(ibcntl(), 0, static_cast<long>(found.size()));
    found.resize(static_cast<size_t>(count));
    setListeners(found, resultList, limit);
}

void LinuxGpib::DevClear(int b, Addr4882_t address) {
    api_->DevClear(board(b), address);
    status();
}

} // namespace gpib
