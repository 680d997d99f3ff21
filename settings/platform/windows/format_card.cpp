// The card of a format on Windows: the drive of the card folder, MakeMBR through its physical
// disk, FormatEx of fmifs.dll as the quick format, SetVolumeLabelW.
#include "platform/card.h"

#include "file/debug_log.h"
#include "formatter/make_mbr.h"
#include "platform/platform.h"
#include "platform/windows/raw_disk.h"
#include "platform/windows/wide.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <mutex>

const char kFormatterLoadFailedText[] = "LoadLibrary(fmifs.dll) failed";
const char kFormatterLookupFailedText[] = "GetProcAddress(fmifs) failed";

namespace {

// FormatEx's callback and FormatEx itself, as fmifs.dll exports it.
using FormatCallbackFn = BOOLEAN(WINAPI *)(DWORD type, DWORD action, PVOID data);
using FormatExFn = void(WINAPI *)(PWCHAR root, DWORD mediaType, PWCHAR fileSystem, PWCHAR label,
                                  BOOL quick, DWORD clusterSize, FormatCallbackFn callback);

// The callback takes no context: the packets of the one format that runs go here.
std::mutex g_formatLock;
const platform::FormatPacket *g_packet = nullptr;

BOOLEAN WINAPI FormatCallback(DWORD type, DWORD, PVOID data)
{
    if (g_packet)
        (*g_packet)(int(type), static_cast<const uint8_t *>(data));
    return TRUE;
}

class WindowsFormatCard : public platform::FormatCard
{
public:
    WindowsFormatCard(const QString &cardFolder, const CardHost &host)
        : m_host(host), m_root(platform::DriveRoot(cardFolder))
    {}

    bool IsCard() const override { return m_host.driveType(m_root) == DRIVE_REMOVABLE; }
    QString Root() const override { return m_root; }
    bool IsOnCard(const QString &path) const override
    {
        if (path.isEmpty())
            return false;
        const QString root = platform::DriveRoot(QFileInfo(path).absoluteFilePath());
        return root.compare(m_root, Qt::CaseInsensitive) == 0;
    }

    int MakeMBR(FormatContext &context, const FormatProfile &profile) override
    {
        return ::MakeMBR(context, m_root, profile, m_host);
    }

    platform::QuickFormatRun QuickFormat(const FormatProfile &profile,
                                         const platform::FormatPacket &packet) override
    {
        platform::QuickFormatRun run;
        const HMODULE fmifs = LoadLibraryW(Wide(m_host.formatterLibrary));
        if (!fmifs) {
            run.missing = kFormatterLoadFailedText;
            return run;
        }
        const auto formatEx = reinterpret_cast<FormatExFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(fmifs, "FormatEx")));
        if (!formatEx) {
            run.missing = kFormatterLookupFailedText;
            FreeLibrary(fmifs);
            return run;
        }
        wchar_t root[8] = {};
        const QString native = platform::NativePath(m_root);
        for (qsizetype i = 0; i < native.size() && i < 7; ++i)
            root[i] = wchar_t(native.at(i).unicode());
        wchar_t fileSystem[] = L"FAT32";
        std::wstring label = QString::fromLatin1(profile.label).toStdWString();
        {
            const std::lock_guard<std::mutex> hold(g_formatLock);
            g_packet = &packet;
            // Media type 11, quick, the system's cluster size; returns when the format has ended.
            formatEx(root, 11, fileSystem, label.data(), TRUE, 0, FormatCallback);
            g_packet = nullptr;
        }
        FreeLibrary(fmifs);
        run.ran = true;
        return run;
    }

    void WriteVolumeLabel(const char *label) override
    {
        if (!m_host.setVolumeLabel(platform::NativePath(m_root), QString::fromLatin1(label)))
            DebugLogF("SetVolumeLabelW(%s) failed\n",
                      platform::NativePath(m_root).toUtf8().constData());
    }

    // The volume was dismounted; the system mounts it again when it is asked for.
    bool IsBack() const override
    {
        QString fileSystem;
        return m_host.fileSystemName(platform::NativePath(m_root), &fileSystem);
    }
    QString InUseText() const override { return QString(); }

private:
    CardHost m_host;
    QString m_root;
};

} // namespace

namespace platform {

bool IsRemovableDrive(const QString &path, const CardHost &host)
{
    return host.driveType(DriveRoot(path)) == DRIVE_REMOVABLE;
}

std::unique_ptr<SectorDevice> OpenImageDevice(const QString &path, const DiskGeometry &geometry)
{
    return OpenImageFile(path, geometry);
}

std::unique_ptr<FormatCard> OpenFormatCard(const QString &cardFolder, const CardHost &host)
{
    return std::make_unique<WindowsFormatCard>(cardFolder, host);
}

} // namespace platform
