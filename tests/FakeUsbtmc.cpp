#include "FakeUsbtmc.h"
#include "TestBench.h"
#include <cerrno>
#include <chrono>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace gpib;

FakeUsbtmc::~FakeUsbtmc() {
    stopping_ = true;
    for (auto& [pad, n] : nodes_) {
        n->thread.join();
        ::close(n->host);
        ::close(n->fake);
    }
}

QString FakeUsbtmc::plugIn(int pad) {
    auto n = std::make_unique<Node>();
    n->path = QString("/fake/usbtmc%1").arg(pad - 1);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return {};
    n->host = ends[0];
    n->fake = ends[1];
    // No message passes yet: the bench is free. The instrument takes its time to answer.
    n->ud = bench_.ibdev(0, pad, 0, 13, 1, 0);
    n->thread = std::thread([this, &node = *n] {
        char buffer[65536];
        while (!stopping_) {
            pollfd p{node.fake, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            node.handling = true;
            const ssize_t got = ::read(node.fake, buffer, sizeof buffer);
            if (got <= 0) return; // unplugged
            QByteArray answer;
            {
                std::lock_guard lock(benchMutex_);
                bench_.ibwrt(node.ud, buffer, got);
                answer = WholeAnswer(bench_, node.ud);
            }
            // A blocking stream socket takes it whole.
            if (::write(node.fake, answer.constData(), size_t(answer.size())) < answer.size())
                return;
            node.handling = false;
        }
    });
    return (nodes_[pad] = std::move(n))->path;
}

// The instrument's end closes: the back-end's reads see the end, its writes fail, and the
// node cannot be opened again.
void FakeUsbtmc::unplug(int pad) {
    ::shutdown(nodes_.at(pad)->fake, SHUT_RDWR);
    nodes_.at(pad)->gone = true;
}

int FakeUsbtmc::open(const QString& path) {
    for (auto& [pad, n] : nodes_) {
        if (n->path != path || n->gone) continue;
        const int fd = ::dup(n->host);
        opened_[fd] = n.get();
        return fd;
    }
    errno = ENOENT;
    return -1;
}

int FakeUsbtmc::control(int fd, unsigned long request, void* arg) {
    Node& n = *opened_.at(fd);
    if (n.gone) {
        errno = ENODEV; // as the kernel answers once the instrument is unplugged
        return -1;
    }
    // A write returns once the kernel has sent it; the instrument has it then. Here the
    // node's thread may not have taken it yet: a control request waits until it has.
    for (int waiting = 1, ms = 0; (waiting || n.handling) && ms < 2000; ++ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::ioctl(n.fake, FIONREAD, &waiting);
    }
    const auto byte = static_cast<unsigned char*>(arg);
    std::lock_guard lock(benchMutex_);
    switch (request) {
    case USBTMC_IOCTL_SET_TIMEOUT: {
        const auto ms = *static_cast<__u32*>(arg);
        requests << QString("SET_TIMEOUT %1").arg(ms);
        // The kernel's own wait for an answer, as the socket's.
        timeval limit{time_t(ms / 1000), suseconds_t(ms % 1000) * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        return 0;
    }
    case USBTMC488_IOCTL_READ_STB: {
        char spr = 0;
        bench_.ibrsp(n.ud, &spr);
        *byte = static_cast<unsigned char>(spr);
        return 0;
    }
    case USBTMC_IOCTL_CLEAR:
        requests << "CLEAR";
        bench_.ibclr(n.ud);
        return 0;
    default: // as an older kernel, which cannot tell where a message ends
        errno = ENOTTY;
        return -1;
    }
}
