#include "storage/zipstamp.h"

#include "zip/zipformat.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ZipFormat::kLongestComment;
using ZipFormat::le32;
constexpr std::uint64_t kEndRecordSize = ZipFormat::kEndRecordSize;
// A directory larger than the largest archive may have is not read whole.
constexpr std::uint64_t kLargestDirectory = 64ULL << 20;

bool readAt(int fd, QByteArray &buffer, std::uint64_t offset)
{
    qsizetype done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(fd, buffer.data() + done, std::size_t(buffer.size() - done),
                                    off_t(offset + done));
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// The central directory with its end record; the file's tail when no end
// record is found (a damaged zip changes as well as a sound one).
QByteArray digestOfDirectory(int fd, std::uint64_t size)
{
    QByteArray tail(qsizetype(std::min(size, kEndRecordSize + kLongestComment)), Qt::Uninitialized);
    const std::uint64_t tailStart = size - std::uint64_t(tail.size());
    if (!readAt(fd, tail, tailStart))
        return {};
    QCryptographicHash sum(QCryptographicHash::Sha256);
    for (qsizetype at = tail.size() - qsizetype(kEndRecordSize); at >= 0; --at) {
        if (tail.at(at) != 'P' || le32(tail.constData() + at) != ZipFormat::kEndSignature)
            continue;
        const std::uint64_t directorySize = le32(tail.constData() + at + 12);
        const std::uint64_t directoryOffset = le32(tail.constData() + at + 16);
        if (directorySize > kLargestDirectory ||
            directoryOffset + directorySize > tailStart + std::uint64_t(at))
            continue;
        QByteArray directory(qsizetype(directorySize), Qt::Uninitialized);
        if (!readAt(fd, directory, directoryOffset))
            return {};
        sum.addData(directory);
        sum.addData(QByteArrayView(tail).sliced(at, qsizetype(kEndRecordSize)));
        return sum.result();
    }
    sum.addData(tail);
    return sum.result();
}

const QString kExists = QStringLiteral("exists");
const QString kDevice = QStringLiteral("device");
const QString kInode = QStringLiteral("inode");
const QString kSize = QStringLiteral("size");
const QString kMtime = QStringLiteral("mtimeNs");
const QString kDigest = QStringLiteral("directorySha256");

// JSON numbers are doubles: 64-bit values go as text.
QString number(std::uint64_t value)
{
    return QString::number(value);
}

} // namespace

ZipStamp ZipStamp::of(const QString &zipPath)
{
    ZipStamp stamp;
    const QByteArray name = QFile::encodeName(zipPath);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    // There but not readable is not "not there": it must not be replaced unseen.
    stamp.exists = fd >= 0 ? fstat(fd, &st) == 0 : ::stat(name.constData(), &st) == 0;
    if (stamp.exists) {
        stamp.device = std::uint64_t(st.st_dev);
        stamp.inode = std::uint64_t(st.st_ino);
        stamp.size = std::uint64_t(st.st_size);
        stamp.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (fd >= 0 && S_ISREG(st.st_mode) && stamp.size > 0)
            stamp.directoryDigest = digestOfDirectory(fd, stamp.size);
    }
    if (fd >= 0)
        ::close(fd);
    return stamp;
}

QJsonObject ZipStamp::toJson() const
{
    if (!exists)
        return {{kExists, false}};
    return {{kExists, true},
            {kDevice, number(device)},
            {kInode, number(inode)},
            {kSize, number(size)},
            {kMtime, QString::number(mtimeNs)},
            {kDigest, QString::fromLatin1(directoryDigest.toHex())}};
}

std::optional<ZipStamp> ZipStamp::fromJson(const QJsonObject &object)
{
    if (!object.value(kExists).isBool())
        return std::nullopt;
    ZipStamp stamp;
    stamp.exists = object.value(kExists).toBool();
    if (!stamp.exists)
        return stamp;
    bool ok[4] = {};
    stamp.device = object.value(kDevice).toString().toULongLong(&ok[0]);
    stamp.inode = object.value(kInode).toString().toULongLong(&ok[1]);
    stamp.size = object.value(kSize).toString().toULongLong(&ok[2]);
    stamp.mtimeNs = object.value(kMtime).toString().toLongLong(&ok[3]);
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }))
        return std::nullopt;
    stamp.directoryDigest = QByteArray::fromHex(object.value(kDigest).toString().toLatin1());
    return stamp;
}
