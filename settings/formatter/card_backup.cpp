#include "formatter/card_backup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

namespace
{

bool SameFile(const QString &a, const QString &b)
{
    // By identity, not by name: a case-insensitive card or a link may name one file twice.
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a.toStdU16String()),
                                       std::filesystem::path(b.toStdU16String()), ec) &&
           !ec;
}

QString WithSlash(const QString &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

} // namespace

bool CopyOver(const QString &from, const QString &to)
{
    QFile in(from);
    if (!QFileInfo(from).isFile() || !in.open(QIODevice::ReadOnly)) return false;
    if (QFileInfo::exists(to) && SameFile(from, to)) return true;
    // QSaveFile writes a temporary file beside `to`, flushes it to the medium and renames it
    // over `to` on commit; a failed or cancelled copy leaves `to` untouched.
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly)) return false;
    char buf[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buf, sizeof buf);
        if (n < 0 || (n > 0 && out.write(buf, n) != n)) return false; // discards the temporary file
        if (n == 0) break;
    }
    if (!out.commit()) return false;
    // A program must stay a program; a card's file system may not keep permissions at all.
    QFile::setPermissions(to, in.permissions());
    return true;
}

bool PlanCardBackup(const QString &cardFolder, const QString &cardRoot, const QString &programFile,
                    const QString &preferredFolder, const QStringList &freshRoots,
                    const OnCardTest &onCard, CardBackup &plan, QString *error)
{
    plan = CardBackup{};
    if (!onCard(preferredFolder)) {
        plan.folder = WithSlash(preferredFolder);
    } else {
        for (const QString &root : freshRoots) {
            if (root.isEmpty() || onCard(root) || !QDir().mkpath(root)) continue;
            QTemporaryDir dir(WithSlash(root) + "card-backup-XXXXXX");
            if (!dir.isValid()) continue;
            dir.setAutoRemove(false);
            plan.folder = WithSlash(dir.path());
            plan.fresh = true;
            break;
        }
        if (plan.folder.isEmpty()) {
            if (error) *error = freshRoots.join(", ");
            return false;
        }
    }
    const QString name = QFileInfo(programFile).fileName();
    plan.files.push_back(
        {cardFolder + "setup.cfg", plan.folder + "setup.cfg", cardFolder + "setup.cfg"});
    if (!programFile.isEmpty()) {
        // The running file is gone once its card is formatted: a copy of it waits with the others.
        if (onCard(programFile))
            plan.files.push_back({programFile, plan.folder + name, cardFolder + name, true});
        else
            plan.files.push_back({QString(), programFile, cardFolder + name, true});
    }
    plan.files.push_back({cardRoot + "MLO", plan.folder + "MLO", cardRoot + "MLO"});
    plan.files.push_back({cardRoot + "boot.scr", plan.folder + "boot.scr", cardRoot + "boot.scr"});
    return true;
}

bool MakeCardBackup(const CardBackup &plan,
                    const std::function<void(const QString &, const QString &)> &copied,
                    QString *failed)
{
    // The card's own files first, as they always were, then the program.
    std::vector<const BackupFile *> order;
    for (const BackupFile &f : plan.files)
        if (!f.from.isEmpty() && !f.program) order.push_back(&f);
    for (const BackupFile &f : plan.files)
        if (!f.from.isEmpty() && f.program) order.push_back(&f);
    for (const BackupFile *f : order) {
        if (!QFileInfo(f->from).isFile()) continue;
        if (!CopyOver(f->from, f->backup)) {
            if (failed) *failed = f->from;
            return false;
        }
        if (copied) copied(f->from, f->backup);
    }
    return true;
}

bool RestoreCardBackup(const CardBackup &plan)
{
    // CreateDirectoryW on the card folder, whose result does not matter: the copies tell.
    if (!plan.files.empty()) QDir().mkpath(QFileInfo(plan.files.front().to).path());
    bool all = true;
    for (const BackupFile &f : plan.files) {
        if (!QFileInfo(f.backup).isFile()) continue;
        all = CopyOver(f.backup, f.to) && all;
    }
    return all;
}

void DiscardCardBackup(const CardBackup &plan)
{
    if (plan.fresh && !plan.folder.isEmpty()) QDir(plan.folder).removeRecursively();
}
