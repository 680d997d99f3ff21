#include "peer_tools.h"

#include "formatter/fat32_builder.h"
#include "platform/linux/sector_devices.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

const char kLabelFinding[] =
    "Label in boot sector is 'NO NAME QV', but there is no volume label in root directory.";
const char kFreeCountFinding[] = "Free cluster summary uninitialized";

int RunTool(const QString &program, const QStringList &args, QString *output,
            const QByteArray &input)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MTOOLS_SKIP_CHECK", "1");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int WriteOwnLayout(const QString &image)
{
    std::unique_ptr<FileSectorDevice> dev(FileSectorDevice::OpenImage(image, {255, 63}));
    if (!dev)
        return -1;
    FormatContext c;
    c.device = dev.get();
    FormatLayout l{};
    if (!MakePartitionTable(c, l))
        return -1;
    return WriteFAT32Area(c, MakeBPB32Structure(l));
}

bool MakeSparseImage(const QString &path, uint64_t sectors)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.resize(qint64(sectors * 512));
}

namespace {

// Copies the partition at 8192 into part; only the data extents of the sparse image, the holes
// read as zeros either way. An error text, empty on success.
QString CopyPartition(const QString &image, uint32_t volumeSectors, const QString &part)
{
    const int in = ::open(QFile::encodeName(image).constData(), O_RDONLY);
    const int out = ::open(QFile::encodeName(part).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        if (in >= 0)
            ::close(in);
        if (out >= 0)
            ::close(out);
        return "cannot copy";
    }
    const off_t start = off_t(8192) * 512, end = start + off_t(volumeSectors) * 512;
    std::vector<char> buf(1 << 20);
    for (off_t at = start; at < end;) {
        off_t data = ::lseek(in, at, SEEK_DATA);
        if (data < 0 || data >= end)
            break;
        off_t hole = std::min(::lseek(in, data, SEEK_HOLE), end);
        for (off_t p = data; p < hole;) {
            const ssize_t n =
                ::pread(in, buf.data(), size_t(std::min<off_t>(off_t(buf.size()), hole - p)), p);
            if (n <= 0)
                break;
            if (::pwrite(out, buf.data(), size_t(n), p - start) != n)
                break;
            p += n;
        }
        at = hole;
    }
    const bool sized = ::ftruncate(out, end - start) == 0;
    ::close(in);
    ::close(out);
    return sized ? QString() : QString("cannot size");
}

} // namespace

QString FsckVerbose(const QString &image, uint32_t volumeSectors, const QString &scratch,
                    int *exitCode)
{
    const QString part = scratch + "/part.img";
    const QString error = CopyPartition(image, volumeSectors, part);
    if (!error.isEmpty())
        return error;
    QString text;
    const int rc = RunTool("fsck.fat", {"-n", "-v", part}, &text);
    if (exitCode)
        *exitCode = rc;
    QFile::remove(part);
    return text;
}

QStringList FsckFindings(const QString &image, uint32_t volumeSectors, const QString &scratch,
                         int *exitCode, QString *output)
{
    const QString part = scratch + "/part.img";
    const QString error = CopyPartition(image, volumeSectors, part);
    if (!error.isEmpty())
        return {error};
    QString text;
    const int rc = RunTool("fsck.fat", {"-n", part}, &text);
    if (exitCode)
        *exitCode = rc;
    if (output)
        *output = text;
    // One finding per line; indented lines say what fsck.fat would do about the one before.
    QStringList findings;
    for (const QString &line : text.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("fsck.fat ") || line.startsWith(part + ":") || line.startsWith(' ') ||
            line.startsWith("Leaving filesystem"))
            continue;
        findings << line;
    }
    QFile::remove(part);
    return findings;
}
