// q7card: the settings tool's card formatter on the command line, for a PC user and for tests.
//   q7card format [--yes] [--kz7100] [--program FILE] DEVICE-OR-FOLDER
//   q7card layout SECTORS
//   q7card image [--kz7100] FILE SECTORS

#include "file/debug_log.h"
#include "formatter/card_format.h"
#include "formatter/fat32_builder.h"
#include "locale/texts.h"
#include "platform/card.h"
#include "platform/platform.h"
#include "skin/format_progress.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::mutex g_out;

void Print(const QString &text)
{
    std::lock_guard<std::mutex> lock(g_out);
    QString t = text;
    t.replace("\r\n", "\n");
    if (!t.endsWith('\n'))
        t += '\n';
    std::fputs(t.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// Prints each progress figure once.
class ProgressPrinter : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() != CFormatProgressEvent::kType)
            return QObject::event(e);
        const int p = static_cast<CFormatProgressEvent *>(e)->Percent();
        if (p != m_last)
            Print(QStringLiteral("progress %1%").arg(p));
        m_last = p;
        return true;
    }

private:
    int m_last = -1;
};

class ConsoleFormatUi : public FormatUi
{
public:
    explicit ConsoleFormatUi(bool yes) : m_yes(yes) {}

    bool AskYesNo(const QString &caption, const QString &text) override
    {
        Print(caption);
        Print(text);
        if (m_yes)
            return true;
        Print("[y/N]");
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;
        return answer == "y" || answer == "Y" || answer == "yes";
    }
    void ShowMessage(const QString &caption, const QString &text) override
    {
        Print(caption + ": " + text);
        m_lastMessage = text;
    }
    void CreatePopup(const QString &caption, const QString &text, int, int) override
    {
        Print(caption + ": " + text);
        m_window = std::make_unique<ProgressPrinter>();
        m_closed = false;
    }
    void RunPopup(const std::function<void()> &shown) override
    {
        shown();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (m_closed)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
        QCoreApplication::sendPostedEvents(m_window.get());
    }
    void DestroyPopup() override { m_window.reset(); }
    QObject *PopupWindow() override { return m_window.get(); }
    void SetPopupPos(int percent) override { Print(QStringLiteral("position %1").arg(percent)); }
    void ClosePopup() override { m_closed = true; }
    void ShowWorkerMessage(const QString &caption, const QString &text) override
    {
        Print(caption + ": " + text);
    }

    QString m_lastMessage;

private:
    bool m_yes;
    std::unique_ptr<ProgressPrinter> m_window;
    std::atomic<bool> m_closed{false};
};

int Usage()
{
    std::fputs("usage: q7card format [--yes] [--kz7100] [--program FILE] DEVICE-OR-FOLDER\n"
               "       q7card layout SECTORS\n"
               "       q7card image [--kz7100] FILE SECTORS\n",
               stderr);
    return 2;
}

bool ParseSectors(const QString &text, uint64_t &sectors)
{
    bool ok = false;
    sectors = text.toULongLong(&ok);
    return ok;
}

int Layout(uint64_t sectors)
{
    FormatLayout l{};
    if (!ComputeLayout(sectors, l)) {
        Print(QStringLiteral("%1 sectors: no FAT32 layout (the card needs at least 533489 sectors)")
                  .arg(sectors));
        return 1;
    }
    const auto entry = MakePartitionEntry({255, 63}, l.volumeSectors);
    QString hex;
    for (uint8_t b : entry)
        hex += QStringLiteral("%1 ").arg(b, 2, 16, QChar('0')).toUpper();
    Print(
        QStringLiteral(
            "lastSector %1\nfatSectors %2\nreservedSectors %3\nclusterCount %4\nvolumeSectors %5\n"
            "sectorsPerCluster %6\npartition start %7\nFAT 1 at %8\nFAT 2 at %9\n")
            .arg(l.lastSector)
            .arg(l.fatSectors)
            .arg(l.reservedSectors)
            .arg(l.clusterCount)
            .arg(l.volumeSectors)
            .arg(l.sectorsPerCluster)
            .arg(kPartitionStart)
            .arg(kPartitionStart + l.reservedSectors)
            .arg(kPartitionStart + l.reservedSectors + l.fatSectors) +
        QStringLiteral("root directory at %1\nsectors written %2\npartition entry (255/63) %3")
            .arg(kPartitionStart + l.reservedSectors + 2 * l.fatSectors)
            .arg(PlanSectorCount(l))
            .arg(hex.trimmed()));
    return 0;
}

int Image(const QString &file, uint64_t sectors, const FormatProfile &profile)
{
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            !f.resize(qint64(sectors * kSectorSize))) {
            Print("cannot create " + file);
            return 1;
        }
    }
    std::unique_ptr<SectorDevice> dev = platform::OpenImageDevice(file, {255, 63});
    if (!dev) {
        Print("cannot open " + file);
        return 1;
    }
    if (profile.logsMakeMBRStart)
        DebugLog("Start MakeMBR() ---");
    ProgressPrinter printer;
    FormatContext c;
    c.device = dev.get();
    c.window = &printer;
    c.scale = profile.scale;
    int result = BuildCard(c);
    if (result == RETURN_FORMAT_SUCCESS)
        result = 0;
    QCoreApplication::sendPostedEvents(&printer);
    LogMakeMBRResult(result);
    DebugLog(result == 0 ? QStringLiteral("MBR 생성 성공")
                         : QString::asprintf("MBR 생성 실패 (%d)", result));
    return result == 0 ? 0 : 1;
}

int Format(const QString &target, bool yes, const QString &program, const FormatProfile &profile)
{
    {
        // Loading the tables logs every line of them; that is not for the console.
        DebugLogCapture quiet;
        SelectLanguage("english");
    }
    ConsoleFormatUi ui(yes);
    FormatJob job;
    job.profile = &profile;
    job.ui = &ui;
    job.programFile = program;
    QString path = QFileInfo(target).absoluteFilePath();
    if (QFileInfo(path).isDir() && !path.endsWith('/'))
        path += '/';
    job.cardFolder = path;
    job.backupFolder = platform::LocalAppDataFolder() + "/Orbilux/q7card/";
    QDir().mkpath(job.backupFolder);
    if (!platform::IsRemovableDrive(job.cardFolder, job.host)) {
        Print(target + ": not on a removable card; nothing done");
        return 1;
    }
    if (!ConfirmCardFormat(ui, profile))
        return 1;
    SDCardFormat(job);
    return g_nFormatDone == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return Usage();
    const QString command = args.takeFirst();
    const FormatProfile &profile = args.removeAll("--kz7100") ? KZ7100_Format : K420_Format;
    uint64_t sectors = 0;
    if (command == "layout" && args.size() == 1 && ParseSectors(args[0], sectors))
        return Layout(sectors);
    if (command == "image" && args.size() == 2 && ParseSectors(args[1], sectors))
        return Image(args[0], sectors, profile);
    if (command == "format") {
        const bool yes = args.removeAll("--yes") > 0;
        QString program;
        const int at = args.indexOf("--program");
        if (at >= 0 && at + 1 < args.size()) {
            program = QFileInfo(args[at + 1]).absoluteFilePath();
            args.remove(at, 2);
        }
        if (args.size() == 1)
            return Format(args[0], yes, program, profile);
    }
    return Usage();
}
