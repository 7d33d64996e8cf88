#include "bus/Usbtmc.h"
#include "platform/Platform.h"
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace gpib {

namespace {

constexpr int KernelLeastTimeoutMs = 100; // the driver refuses shorter timeouts
constexpr long FilePiece = 64 << 10;      // a file goes out, and comes in, in pieces
constexpr int Eom = 1;                    // bmTransferAttributes: the message ends here

QString NodeList(const UsbtmcNodes& nodes) {
    QStringList lines;
    for (const auto& [pad, path] : nodes)
        lines << QString("  %1 at address %2").arg(path).arg(pad);
    return lines.join('\n');
}

} // namespace

int UsbtmcKernel::open(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
}

int UsbtmcKernel::control(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

UsbtmcNodes UsbtmcKernelNodes(const QString& folder) {
    UsbtmcNodes nodes;
    static const QRegularExpression name("^usbtmc([0-9]|[12][0-9])$");
    const QStringList entries = QDir(folder).entryList({"usbtmc*"}, QDir::System | QDir::Files);
    for (const QString& entry : entries)
        if (const auto m = name.match(entry); m.hasMatch())
            nodes[m.captured(1).toInt() + 1] = QDir(folder).filePath(entry);
    return nodes;
}

UsbtmcNodes UsbtmcChosenNodes(const QString& folder) {
    UsbtmcNodes stored;
    for (int pad = 1; pad <= 30; ++pad) {
        const QString path =
            platform::Sys().readSetting("Sequor", "USBTMC", QString::number(pad), "").trimmed();
        if (!path.isEmpty()) stored[pad] = path;
    }
    return stored.empty() ? UsbtmcKernelNodes(folder) : stored;
}

UsbtmcKernel& SystemUsbtmcKernel() {
    static UsbtmcKernel kernel;
    return kernel;
}

Usbtmc::Usbtmc(UsbtmcNodes nodes, UsbtmcKernel& kernel, Options options)
    : paths_(std::move(nodes)), kernel_(&kernel), options_(options) {
    for (const auto& [pad, path] : paths_)
        nodes_[pad].path = path;
}

Usbtmc::Usbtmc(UsbtmcNodes nodes, UsbtmcKernel& kernel)
    : Usbtmc(std::move(nodes), kernel, Options{}) {}

Usbtmc::~Usbtmc() {
    for (auto& [pad, n] : nodes_)
        closeNode(n);
}

bool Usbtmc::start(QString* error) {
    if (nodes_.empty()) {
        if (error)
            *error = "No USBTMC instrument was found: there is no /dev/usbtmc0, /dev/usbtmc1, "
                     "… and the section USBTMC of Sequor's settings names none.\n\nCheck that "
                     "the instrument is switched on and connected by USB, and that the kernel's "
                     "usbtmc driver is loaded (lsmod | grep usbtmc)." +
                     QString(ChooseBenchHint);
        return false;
    }
    QStringList problems;
    bool any = false;
    for (auto& [pad, n] : nodes_) {
        if (openNode(n))
            any = true;
        else
            problems << QString("  %1 (address %2): %3").arg(n.path).arg(pad).arg(strerror(errno));
    }
    if (any) return true;
    if (error)
        *error = "No USBTMC instrument could be opened. Looked for:\n" + NodeList(paths_) +
                 "\n\nWhat failed:\n" + problems.join('\n') +
                 "\n\nThe user needs read and write access to the device nodes: a udev rule or "
                 "the nodes' group gives it (see the README)." +
                 QString(ChooseBenchHint);
    return false;
}

Usbtmc::Descriptor* Usbtmc::descriptor(int ud) {
    return FindDescriptor(descriptors_, ud);
}

Usbtmc::Node* Usbtmc::node(int pad) {
    const auto it = nodes_.find(pad);
    return it == nodes_.end() ? nullptr : &it->second;
}

bool Usbtmc::openNode(Node& n) {
    if (n.fd >= 0) return true;
    n.fd = kernel_->open(n.path);
    n.timeoutMs = -1;
    return n.fd >= 0;
}

void Usbtmc::closeNode(Node& n) {
    if (n.fd >= 0) ::close(n.fd);
    n.fd = -1;
}

int Usbtmc::timeoutMs(int tmo) const {
    double s = TimeoutSeconds(tmo);
    if (s < 0) s = NoLimitSeconds;
    return std::max(KernelLeastTimeoutMs, int(s * options_.timeoutScale * 1000));
}

// Opens the node when it is not (an instrument unplugged and plugged in again comes back) and
// hands the kernel the descriptor's timeout when it changed.
bool Usbtmc::prepare(Node& n, int tmo) {
    if (!openNode(n)) return false;
    const int ms = timeoutMs(tmo);
    if (ms != n.timeoutMs) {
        auto value = static_cast<__u32>(ms);
        if (kernel_->control(n.fd, USBTMC_IOCTL_SET_TIMEOUT, &value) == 0) n.timeoutMs = ms;
    }
    return true;
}

int Usbtmc::failed(Node& n, int error, long count) {
    switch (error) {
    case ETIMEDOUT:
    case EAGAIN:
        return setStatus(ERR | TIMO, EABO, count);
    case ENODEV:
    case ENXIO:
    case ENOENT:
    case ESHUTDOWN:
    case EPIPE:
    case ECONNRESET:
    case EBADF:
        // Unplugged or switched off: opened afresh at the next call.
        closeNode(n);
        return setStatus(ERR, ENOL, count);
    case ENOTTY:
    case EINVAL:
        return setStatus(ERR, ECAP, count);
    default:
        return setStatus(ERR, EDVR, count);
    }
}

Usbtmc::Node* Usbtmc::target(int ud, bool argumentsValid) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0), nullptr;
    if (!argumentsValid) return setStatus(ERR, EARG, 0), nullptr;
    Node* n = node(u->pad);
    if (!n) return setStatus(ERR, ENOL, 0), nullptr; // no instrument at that address
    if (!prepare(*n, u->tmo)) return failed(*n, errno, 0), nullptr;
    return n;
}

int Usbtmc::writeAll(Node& n, const char* data, long count, long* sent) {
    *sent = 0;
    while (*sent < count) {
        const ssize_t r = ::write(n.fd, data + *sent, size_t(count - *sent));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return failed(n, errno, *sent);
        *sent += long(r);
        progressed();
    }
    return setStatus(CMPL, 0, *sent);
}

// One read of the node: the kernel says whether the message ended with it, where it can.
int Usbtmc::readMessage(Node& n, char* buf, long count) {
    ssize_t r;
    do
        r = ::read(n.fd, buf, size_t(count));
    while (r < 0 && errno == EINTR);
    if (r < 0) return failed(n, errno, 0);
    progressed();
    __u8 attributes = 0;
    bool end = r < count;
    if (kernel_->control(n.fd, USBTMC_IOCTL_MSG_IN_ATTR, &attributes) == 0)
        end = (attributes & Eom) != 0;
    else if (errno != ENOTTY && errno != EINVAL) // not an older kernel: the device is gone
        return failed(n, errno, 0);
    return setStatus((end ? END : 0) | CMPL, 0, long(r));
}

int Usbtmc::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    Q_UNUSED(eot);
    Q_UNUSED(eos);
    return addDescriptor(descriptors_, board, pad, sad, tmo);
}

int Usbtmc::ibpad(int ud, int pad) {
    return changePad(descriptors_, ud, pad);
}

int Usbtmc::ibwrt(int ud, const void* buf, long count) {
    Node* n = target(ud, !(count < 0 || (!buf && count > 0)));
    if (!n) return ibsta();
    long sent = 0;
    return writeAll(*n, static_cast<const char*>(buf), count, &sent);
}

int Usbtmc::ibrd(int ud, void* buf, long count) {
    Node* n = target(ud, !(count <= 0 || !buf));
    if (!n) return ibsta();
    return readMessage(*n, static_cast<char*>(buf), count);
}

int Usbtmc::ibwait(int ud, int mask) {
    Descriptor* u = descriptor(ud);
    if (!u) return setStatus(ERR, EDVR, 0);
    if (mask & ~(TIMO | END | RQS | CMPL)) return setStatus(ERR, EARG, 0);
    if (!(mask & RQS)) return setStatus(CMPL, 0, 0);
    Node* n = target(ud, true);
    if (!n) return ibsta();
    auto limit = static_cast<__u32>(timeoutMs(u->tmo));
    if (kernel_->control(n->fd, USBTMC488_IOCTL_WAIT_SRQ, &limit) == 0)
        return setStatus(CMPL | RQS, 0, 0);
    if (errno == ETIMEDOUT) return setStatus(CMPL | TIMO, 0, 0);
    return failed(*n, errno, 0);
}

int Usbtmc::ibask(int ud, int option, int* value) {
    Descriptor* u = descriptor(ud);
    return askTimeout(u ? &u->tmo : nullptr, option, value);
}

int Usbtmc::ibtmo(int ud, int v) {
    Descriptor* u = descriptor(ud);
    return changeTimeout(u ? &u->tmo : nullptr, v);
}

int Usbtmc::ibrsp(int ud, char* spr) {
    Node* n = target(ud, !(!spr));
    if (!n) return ibsta();
    unsigned char byte = 0;
    if (kernel_->control(n->fd, USBTMC488_IOCTL_READ_STB, &byte) < 0) return failed(*n, errno, 0);
    *spr = static_cast<char>(byte);
    return setStatus(CMPL, 0, 0);
}

int Usbtmc::ibclr(int ud) {
    Node* n = target(ud, true);
    if (!n) return ibsta();
    if (kernel_->control(n->fd, USBTMC_IOCTL_CLEAR, nullptr) < 0) return failed(*n, errno, 0);
    return setStatus(CMPL, 0, 0);
}

int Usbtmc::ibsre(int ud, int v) {
    Q_UNUSED(ud);
    // Remote enable where the instrument offers it; one without it is simply in remote.
    unsigned char enable = v ? 1 : 0;
    for (auto& [pad, n] : nodes_)
        if (n.fd >= 0) kernel_->control(n.fd, USBTMC488_IOCTL_REN_CONTROL, &enable);
    return setStatus(CMPL, 0, 0);
}

// The answer goes into the file as it comes; on a timeout the file keeps what arrived.
int Usbtmc::ibrdf(int ud, const char* fileName) {
    Node* n = target(ud, fileName != nullptr);
    if (!n) return ibsta();
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return setStatus(ERR, EFSO, 0);
    std::vector<char> piece(FilePiece);
    long written = 0;
    for (;;) {
        const int sta = readMessage(*n, piece.data(), FilePiece);
        if (sta & ERR) return setStatus(sta, iberr(), written);
        const long got = ibcntl();
        if (f.write(piece.data(), got) != got) return setStatus(ERR, EFSO, written);
        written += got;
        if (sta & END) break;
        if (written >= options_.maxFileAnswer) return setStatus(ERR, EABO, written);
    }
    if (!f.flush()) return setStatus(ERR, EFSO, written);
    return setStatus(END | CMPL, 0, written);
}

// The file goes out in pieces; only the last one carries the end of the message.
int Usbtmc::ibwrtf(int ud, const char* fileName) {
    Node* n = target(ud, fileName != nullptr);
    if (!n) return ibsta();
    QFile f(QString::fromLocal8Bit(fileName));
    if (!f.open(QIODevice::ReadOnly)) return setStatus(ERR, EFSO, 0);
    long total = 0;
    QByteArray piece = f.read(FilePiece);
    bool eomOff = false;
    int sta = CMPL;
    for (;;) {
        const QByteArray next = f.atEnd() ? QByteArray() : f.read(FilePiece);
        const bool last = next.isEmpty();
        if (!last && f.error() != QFileDevice::NoError) {
            sta = setStatus(ERR, EFSO, total);
            break;
        }
        if (eomOff == last) {
            __u8 eom = last ? 1 : 0;
            if (kernel_->control(n->fd, USBTMC_IOCTL_EOM_ENABLE, &eom) == 0) eomOff = !last;
        }
        long sent = 0;
        sta = writeAll(*n, piece.constData(), long(piece.size()), &sent);
        total += sent;
        if ((sta & ERR) || last) break;
        piece = next;
    }
    if (eomOff && n->fd >= 0) {
        __u8 eom = 1;
        kernel_->control(n->fd, USBTMC_IOCTL_EOM_ENABLE, &eom);
    }
    return (sta & ERR) ? setStatus(sta, iberr(), total) : setStatus(CMPL, 0, total);
}

void Usbtmc::SendIFC(int board) {
    // No bus lies between the computer and a USB instrument: nothing to clear.
    setStatus(board == 0 ? CMPL : ERR, board == 0 ? 0 : ENEB, 0);
}

void Usbtmc::FindLstn(int board, const Addr4882_t* padList, Addr4882_t* resultList, int limit) {
    if (board != 0) return void(setStatus(ERR, ENEB, 0));
    if (!padList || !resultList) return void(setStatus(ERR, EARG, 0));
    std::vector<Addr4882_t> found;
    for (const Addr4882_t* p = padList; *p != NOADDR && found.size() < 31; ++p) {
        const int pad = *p & 0xFF;
        Node* n = pad >= 1 ? node(pad) : nullptr;
        if (n && openNode(*n) &&
            std::find(found.begin(), found.end(), Addr4882_t(pad)) == found.end())
            found.push_back(Addr4882_t(pad));
    }
    std::sort(found.begin(), found.end());
    setListeners(found, resultList, limit);
}

void Usbtmc::DevClear(int board, Addr4882_t address) {
    if (board != 0) return void(setStatus(ERR, ENEB, 0));
    Node* n = node(address & 0xFF);
    if (!n) return void(setStatus(ERR, ENOL, 0));
    if (!openNode(*n)) return void(failed(*n, errno, 0));
    if (kernel_->control(n->fd, USBTMC_IOCTL_CLEAR, nullptr) < 0) return void(failed(*n, errno, 0));
    setStatus(CMPL, 0, 0);
}

} // namespace gpib
