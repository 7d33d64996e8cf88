#pragma once
// USB instruments as the kernel's usbtmc driver shows them, over a simulated bench: each node
// is one end of a socket pair, so the back-end's read, write and close are the real file
// calls; the ioctls come here. A thread per node passes each message to the bench's
// instrument and sends its answer back, as the instrument would on the next read.
#include "bus/Usbtmc.h"
#include <QStringList>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class FakeUsbtmc : public gpib::UsbtmcKernel {
public:
    explicit FakeUsbtmc(gpib::Driver& bench) : bench_(bench) {}
    ~FakeUsbtmc() override;

    // A node for the bench's instrument at the address; its path.
    QString plugIn(int pad);
    // The instrument is unplugged: its node is gone, and reads and writes on it fail.
    void unplug(int pad);
    // The timeouts set and the clears asked, in order ("SET_TIMEOUT 100", "CLEAR").
    QStringList requests;

    int open(const QString& path) override;
    int control(int fd, unsigned long request, void* arg) override;

private:
    struct Node {
        QString path;
        int host = -1; // the back-end's end: each open gets a copy of it
        int fake = -1; // the instrument's end
        int ud = 0;    // on the bench
        std::atomic<bool> gone{false};
        std::atomic<bool> handling{false}; // a message is being passed on
        std::thread thread;
    };

    gpib::Driver& bench_;
    // The nodes' threads and the ioctls use the bench; the rest runs on the back-end's thread.
    std::mutex benchMutex_;
    std::map<int, std::unique_ptr<Node>> nodes_; // by address
    std::map<int, Node*> opened_;                // the node of each descriptor handed out
    std::atomic<bool> stopping_{false};
};
