#pragma once
// Instruments on USB through the Linux kernel's usbtmc driver: each instrument is a device
// node (/dev/usbtmc0, …) and gets a bus address of its own. Messages go through the node's
// read and write; clear, status byte, timeout, end of message and service requests through
// the driver's ioctls. There is no GPIB bus behind it: interface clear has nothing to do and
// a listener is an instrument whose node opens.
#include "bus/GpibDriver.h"
#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace gpib {

// The node of each address.
using UsbtmcNodes = std::map<int, QString>;

// The kernel's nodes in the folder: usbtmc<N> at address N + 1, N from 0 to 29.
UsbtmcNodes UsbtmcKernelNodes(const QString& folder = QStringLiteral("/dev"));
// The store's section "USBTMC" of application "Sequor": keys "1" to "30", each a node's
// path. When it names any node, it alone decides; else the kernel's numbering does.
UsbtmcNodes UsbtmcChosenNodes(const QString& folder = QStringLiteral("/dev"));

// The calls into the kernel besides read, write and close, so that a test can stand in a
// socket for a node and answer the ioctls itself.
class UsbtmcKernel {
public:
    virtual ~UsbtmcKernel() = default;
    // A file descriptor for the node, or -1 with errno set.
    virtual int open(const QString& path);
    // ioctl: 0 or more on success, -1 with errno set.
    virtual int control(int fd, unsigned long request, void* arg);
};
// The real kernel.
UsbtmcKernel& SystemUsbtmcKernel();

class Usbtmc : public Driver {
public:
    struct Options {
        double timeoutScale = 1.0;        // for tests over a fast simulated bench
        qint64 maxFileAnswer = 1LL << 30; // a read into a file ends here: a talker that never ends
        int srqPollMs = 20;               // where the kernel cannot wait for a service request
    };

    // The kernel must outlive the driver.
    Usbtmc(UsbtmcNodes nodes, UsbtmcKernel& kernel, Options options);
    Usbtmc(UsbtmcNodes nodes, UsbtmcKernel& kernel);
    ~Usbtmc() override;
    Usbtmc(const Usbtmc&) = delete;
    Usbtmc& operator=(const Usbtmc&) = delete;

    // Opens every node. True when at least one opens; else false, with error naming each
    // node and why it failed (or that there was none), and how to choose the simulated bench.
    bool start(QString* error);

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

private:
    struct Node {
        QString path;
        int fd = -1;
        int timeoutMs = -1; // as last given to the kernel
    };
    struct Descriptor {
        int pad;
        int tmo;
    };

    Descriptor* descriptor(int ud);
    Node* node(int pad);
    bool openNode(Node& n);
    void closeNode(Node& n);
    int timeoutMs(int tmo) const;
    bool prepare(Node& n, int tmo);
    int failed(Node& n, int error, long count);
    // The node the descriptor talks to, open and set to its timeout; null, with the status
    // set, when the call cannot go there.
    Node* target(int ud, bool argumentsValid);
    int writeAll(Node& n, const char* data, long count, long* sent);
    int readMessage(Node& n, char* buf, long count);

    UsbtmcNodes paths_;
    UsbtmcKernel* kernel_;
    Options options_;
    std::map<int, Node> nodes_;
    std::vector<Descriptor> descriptors_;
};

} // namespace gpib
