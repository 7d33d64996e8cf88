#include "measure/LogFile.h"

#include "common/Numbers.h"
#include "common/Texts.h"
#include "platform/Platform.h"
#include "platform/StopSignals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

QString ProposeFreeName(const QString& fileName) {
    QString base = fileName;
    base.remove(QStringLiteral(".csv")); // case-sensitive: ".CSV" stays part of the name

    const qsizetype underscore = base.lastIndexOf(QLatin1Char('_'));
    const qsizetype suffixLength = underscore < 0 ? 0 : base.size() - underscore - 1;
    const QString suffix =
        (suffixLength == 1 || suffixLength == 2) ? base.mid(underscore + 1) : QString();
    const QString stem = base.left(underscore);

    QString name;
    const auto isDigit = [](QChar c, char lowest) { return c >= QLatin1Char(lowest) && c <= '9'; };
    if (suffix.size() == 2 && NumericValue(suffix) > 0 && isDigit(suffix[1], '1') &&
        suffix != QLatin1String("99")) {
        const int next = static_cast<int>(std::round(NumericValue(suffix) + 1));
        name = stem + QLatin1Char('_') + QStringLiteral("%1").arg(next, 2, 10, QLatin1Char('0'));
    } else if (suffix.size() == 1 && isDigit(suffix[0], '0')) {
        name = stem + QLatin1Char('_') + QString::number(suffix[0].digitValue() + 1);
    } else {
        name = base + QStringLiteral("_1");
    }
    return name + QStringLiteral(".csv");
}

QByteArray HeaderLine(const std::array<bool, 3>& columns) {
    QByteArray line;
    if (columns[0]) line += "Time;";
    if (columns[1]) line += "Time From Start;";
    if (columns[2]) line += "Sequence;";
    return line + "Measured";
}

QByteArray RowPrefix(const std::array<bool, 3>& columns, const QTime& pcTime, float elapsed,
                     qint64 sequence) {
    QByteArray prefix;
    if (columns[0]) prefix += PcTimeText(pcTime).toLocal8Bit() + ';';
    if (columns[1]) prefix += FormatTime(elapsed, 2).toLatin1() + ';';
    if (columns[2]) prefix += QByteArray::number(sequence) + ';';
    return prefix;
}

bool ChooseLogFile(const QString& folder, QString* name,
                   const std::function<void(const QString&)>& renamed) {
    using platform::Answer;
    using platform::Buttons;
    using platform::Icon;
    if (name->isEmpty()) {
        platform::MsgBox("File Name Error", "File Name not defined.", Buttons::Ok, Icon::Warning);
        return false;
    }
    for (;;) {
        const QString path = LogFilePath(folder, *name);
        if (path.isEmpty() || !QFileInfo::exists(path)) return true;
        const QString proposed = ProposeFreeName(*name);
        const Answer a =
            platform::MsgBox("File Error",
                             "The file " + *name + " already exists.\n\nSelect:\nYes to use  " +
                                 proposed + "  instead.\nNo to replace  " + *name + " .",
                             Buttons::YesNoCancel, Icon::Warning, Answer::Yes);
        if (a == Answer::Cancel) return false;
        if (a == Answer::No) return true;
        *name = proposed;
        if (renamed) renamed(proposed);
    }
}

QByteArray ConsoleLine(qint64 sequence, const std::array<bool, 3>& columns, const QTime& pcTime,
                       float elapsed, const QByteArray& measured) {
    QByteArray times = RowPrefix({columns[0], columns[1], false}, pcTime, elapsed, sequence);
    times.replace(';', '\t');
    return QByteArray::number(sequence) + '\t' + times + measured;
}

QString TimeOfDayFormat(const QString& longFormat) {
    // Tokens are quoted literals, runs of one letter, or single other characters, so that
    // letters inside quotes stay text.
    QStringList tokens;
    bool hasSeconds = false;
    qsizetype lastMinutes = -1;
    for (qsizetype i = 0; i < longFormat.size();) {
        const QChar c = longFormat[i];
        qsizetype j = i + 1;
        if (c == QLatin1Char('\'')) {
            j = longFormat.indexOf(QLatin1Char('\''), i + 1);
            j = j < 0 ? longFormat.size() : j + 1;
        } else if (c.isLetter()) {
            while (j < longFormat.size() && longFormat[j] == c)
                ++j;
        }
        if (c != QLatin1Char('t')) { // time zone tokens are dropped
            hasSeconds = hasSeconds || c == QLatin1Char('s');
            if (c == QLatin1Char('m')) lastMinutes = tokens.size();
            tokens << longFormat.mid(i, j - i);
        }
        i = j;
    }
    if (!hasSeconds) {
        if (lastMinutes < 0) return QStringLiteral("HH:mm:ss");
        tokens.insert(lastMinutes + 1, QStringLiteral(":ss"));
    }
    // Dropping the zone leaves blanks behind ("HH:mm:ss t" -> "HH:mm:ss ").
    QString out = tokens.join(QString()).trimmed();
    out.replace(QRegularExpression(QStringLiteral("\\s{2,}")), QStringLiteral(" "));
    return out;
}

QString PcTimeText(const QTime& time) {
    const QLocale locale = QLocale::system();
    return locale.toString(time, TimeOfDayFormat(locale.timeFormat(QLocale::LongFormat)));
}

QString OpenFailureText(OpenFailure failure, const QString& fileName) {
    switch (failure) {
    case OpenFailure::None:
        return QString();
    case OpenFailure::NotFound:
        return QStringLiteral("Invalid File Name: ") + fileName + QLatin1Char('.');
    case OpenFailure::PermissionDenied:
        return QStringLiteral("Permission denied. File probably already open by other program.");
    case OpenFailure::Other:
        break;
    }
    return QStringLiteral("Can't open file ") + fileName + QLatin1Char('.');
}

bool NameStaysInFolder(const QString& fileName) {
    return !(fileName.isEmpty() || fileName == QLatin1String(".") ||
             fileName == QLatin1String("..") || fileName.contains(QLatin1Char('/')) ||
             fileName.contains(QLatin1Char('\\')) || fileName.contains(QChar(0)));
}

QString LogFilePath(const QString& folder, const QString& fileName) {
    if (!NameStaysInFolder(fileName)) return QString();
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator) || folder.endsWith(QLatin1Char('/'))) return folder + fileName;
    return folder + separator + fileName;
}

namespace {

qint64 MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

OpenFailure FailureFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return OpenFailure::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return OpenFailure::PermissionDenied;
    default:
        return OpenFailure::Other;
    }
}

} // namespace

LogWriter::~LogWriter() {
    close();
}

OpenFailure LogWriter::open(const QString& path, SyncPolicy policy) {
    close();
    if (path.isEmpty()) return OpenFailure::NotFound;
    const QByteArray native = QFile::encodeName(path);
    if (native.contains('\0')) return OpenFailure::NotFound;
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return FailureFromErrno(errno);
    fd_ = fd;
    policy_ = policy;
    // So that the first row (usually the header) is forced out at once.
    lastSyncMs_ = std::numeric_limits<qint64>::min() / 2;
    return OpenFailure::None;
}

bool LogWriter::writeLine(const QByteArray& line) {
    if (fd_ < 0) return false;
    // A second stop signal ends the program only after this row is whole.
    const platform::WholeRowGuard wholeRow;
    // One buffer, so the row and its line end reach the OS together.
    const QByteArray bytes = line + "\r\n";
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    // A row that fails half-way is cut off again, so the file never ends in a torn row.
    const off_t rowStart = ::lseek(fd_, 0, SEEK_CUR);
    const auto dropPartialRow = [&] {
        if (rowStart >= 0 && ::ftruncate(fd_, rowStart) == 0) ::lseek(fd_, rowStart, SEEK_SET);
        return false;
    };
    while (left > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return dropPartialRow();
        }
        if (n == 0) return dropPartialRow();
        data += n;
        left -= n;
    }

    const qint64 now = MonotonicMs();
    if (policy_ == SyncPolicy::EveryRow || now - lastSyncMs_ >= 1000) {
        if (::fdatasync(fd_) != 0 && errno != EINVAL) return false;
        lastSyncMs_ = now;
    }
    return true;
}

void LogWriter::close() {
    if (fd_ < 0) return;
    ::fdatasync(fd_);
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    ::close(fd_);
    fd_ = -1;
}
