#include "formatter/card_backup.h"

#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QString WithSlash(const QString &folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

} // namespace

bool PlanCardBackup(const QString &cardFolder, const QString &cardRoot, const QString &programFile,
                    const QString &preferredFolder, const QStringList &freshRoots,
                    const OnCardTest &onCard, CardBackup &plan, QString *error)
{
    plan = CardBackup{};
    if (!onCard(preferredFolder)) {
        plan.folder = WithSlash(preferredFolder);
    } else {
        for (const QString &root : freshRoots) {
            if (root.isEmpty() || onCard(root) || !QDir().mkpath(root))
                continue;
            QTemporaryDir dir(WithSlash(root) + "card-backup-XXXXXX");
            if (!dir.isValid())
                continue;
            dir.setAutoRemove(false);
            plan.folder = WithSlash(dir.path());
            plan.fresh = true;
            break;
        }
        if (plan.folder.isEmpty()) {
            if (error)
                *error = freshRoots.join(", ");
            return false;
        }
    }
    plan.files.push_back(
        {cardFolder + "setup.cfg", plan.folder + "setup.cfg", cardFolder + "setup.cfg"});
    if (!programFile.isEmpty()) {
        // The program with what it needs beside it, so that the card keeps a tool that runs.
        // The running files are gone once their card is formatted: copies wait with the others.
        const QString programFolder = QFileInfo(programFile).absolutePath() + '/';
        const bool programOnCard = onCard(programFile);
        for (const QString &file : platform::ProgramFileSet(programFile)) {
            const QString from = programFolder + file;
            if (programOnCard)
                plan.files.push_back({from, plan.folder + file, cardFolder + file, true});
            else
                plan.files.push_back({QString(), from, cardFolder + file, true});
        }
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
        if (!f.from.isEmpty() && !f.program)
            order.push_back(&f);
    for (const BackupFile &f : plan.files)
        if (!f.from.isEmpty() && f.program)
            order.push_back(&f);
    for (const BackupFile *f : order) {
        if (!QFileInfo(f->from).isFile())
            continue;
        if (f->program)
            QDir().mkpath(QFileInfo(f->backup).path());
        if (!platform::CopyOver(f->from, f->backup)) {
            if (failed)
                *failed = f->from;
            return false;
        }
        if (copied)
            copied(f->from, f->backup);
    }
    return true;
}

bool RestoreCardBackup(const CardBackup &plan)
{
    // CreateDirectoryW on the card folder, whose result does not matter: the copies tell.
    if (!plan.files.empty())
        QDir().mkpath(QFileInfo(plan.files.front().to).path());
    bool all = true;
    for (const BackupFile &f : plan.files) {
        if (!QFileInfo(f.backup).isFile())
            continue;
        if (f.program)
            QDir().mkpath(QFileInfo(f.to).path());
        all = platform::CopyOver(f.backup, f.to) && all;
    }
    return all;
}

void DiscardCardBackup(const CardBackup &plan)
{
    if (plan.fresh && !plan.folder.isEmpty())
        QDir(plan.folder).removeRecursively();
}
