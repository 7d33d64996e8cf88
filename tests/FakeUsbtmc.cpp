#include "FakeUsbtmc.h"
#include <cerrno>
#include <chrono>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace gpib;

FakeUsbtmc::FakeUsbtmc(Driver& bench) : bench_(bench) {}

FakeUsbtmc::~FakeUsbtmc() {
    stopping_ = true;
    for (auto& [pad, n] : nodes_) {
        if (n->thread.joinable()) n->thread.join();
        if (n->host >= 0) ::close(n->host);
        if (n->fake >= 0) ::close(n->fake);
    }
}

QString FakeUsbtmc::plugIn(int pad) {
    auto n = std::make_unique<Node>();
    n->pad = pad;
    n->path = QString("/fake/usbtmc%1").arg(pad - 1);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return {};
    n->host = ends[0];
    n->fake = ends[1];
    {
        std::lock_guard lock(benchMutex_);
        n->ud = bench_.ibdev(0, pad, 0, 13, 1, 0); // the instrument takes its time to answer
    }
    Node* raw = n.get();
    n->thread = std::thread([this, raw] { serve(*raw); });
    const QString path = n->path;
    std::lock_guard lock(mutex_);
    nodes_[pad] = std::move(n);
    return path;
}

void FakeUsbtmc::unplug(int pad) {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(pad);
    if (it == nodes_.end()) return;
    // The instrument's end closes: the back-end's reads see the end, its writes fail.
    ::shutdown(it->second->fake, SHUT_RDWR);
    it->second->path += ".gone";
    it->second->gone = true;
}

void FakeUsbtmc::deny(int pad) {
    std::lock_guard lock(mutex_);
    if (const auto it = nodes_.find(pad); it != nodes_.end()) it->second->denied = true;
}

QStringList FakeUsbtmc::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void FakeUsbtmc::note(const QString& request) {
    std::lock_guard lock(mutex_);
    requests_ << request;
}

int FakeUsbtmc::open(const QString& path) {
    std::lock_guard lock(mutex_);
    for (auto& [pad, n] : nodes_) {
        if (n->path != path) continue;
        if (n->denied) {
            errno = EACCES;
            return -1;
        }
        const int fd = ::dup(n->host);
        opened_[fd] = pad;
        return fd;
    }
    errno = ENOENT;
    return -1;
}

FakeUsbtmc::Node* FakeUsbtmc::byFd(int fd) {
    std::lock_guard lock(mutex_);
    const auto it = opened_.find(fd);
    return it == opened_.end() ? nullptr : nodes_.at(it->second).get();
}

int FakeUsbtmc::control(int fd, unsigned long request, void* arg) {
    Node* n = byFd(fd);
    if (!n) {
        errno = EBADF;
        return -1;
    }
    if (n->gone) {
        errno = ENODEV; // as the kernel answers once the instrument is unplugged
        return -1;
    }
    settle(*n);
    const auto byte = static_cast<unsigned char*>(arg);
    switch (request) {
    case USBTMC_IOCTL_SET_TIMEOUT: {
        const auto ms = *static_cast<__u32*>(arg);
        note(QString("SET_TIMEOUT %1").arg(ms));
        // The kernel's own wait for an answer, as the socket's.
        timeval limit{time_t(ms / 1000), suseconds_t(ms % 1000) * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        return 0;
    }
    case USBTMC_IOCTL_MSG_IN_ATTR: {
        // The message ended when nothing of it is left to read.
        int left = 0;
        ::ioctl(fd, FIONREAD, &left);
        *byte = left == 0 ? 1 : 0;
        return 0;
    }
    case USBTMC488_IOCTL_READ_STB: {
        std::lock_guard lock(benchMutex_);
        char spr = 0;
        if (bench_.ibrsp(n->ud, &spr) & ERR) {
            errno = ETIMEDOUT;
            return -1;
        }
        *byte = static_cast<unsigned char>(spr);
        return 0;
    }
    case USBTMC_IOCTL_CLEAR: {
        note("CLEAR");
        std::lock_guard lock(benchMutex_);
        bench_.ibclr(n->ud);
        char drop[4096];
        while (::recv(fd, drop, sizeof drop, MSG_DONTWAIT) > 0) {
        }
        return 0;
    }
    default:
        errno = ENOTTY;
        return -1;
    }
}

// A write returns once the kernel has sent it; the instrument has it then. Here the node's
// thread may not have taken it yet: a control request waits until it has.
void FakeUsbtmc::settle(Node& n) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        int waiting = 0;
        ::ioctl(n.fake, FIONREAD, &waiting);
        if ((waiting == 0 && !n.handling) || std::chrono::steady_clock::now() > limit) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void FakeUsbtmc::serve(Node& n) {
    char buffer[65536];
    while (!stopping_) {
        pollfd p{n.fake, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        n.handling = true;
        const ssize_t got = ::read(n.fake, buffer, sizeof buffer);
        if (got <= 0) return; // unplugged
        QByteArray answer;
        {
            std::lock_guard lock(benchMutex_);
            bench_.ibwrt(n.ud, buffer, got);
            char chunk[512];
            for (;;) {
                const int sta = bench_.ibrd(n.ud, chunk, sizeof chunk);
                if (sta & ERR) break;
                answer.append(chunk, bench_.ibcntl());
                if (sta & END) break;
            }
        }
        for (qsizetype done = 0; done < answer.size();) {
            const ssize_t sent = ::write(n.fake, answer.constData() + done, answer.size() - done);
            if (sent <= 0) return;
            done += sent;
        }
        n.handling = false;
    }
}
