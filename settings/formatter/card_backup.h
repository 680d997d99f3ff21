// Keeping the camera's files while their card is formatted: where they wait, copying them off
// the card and back. The backup must never sit on the card being formatted, and no copy ever
// removes a file before its replacement is complete (platform::CopyOver).
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct BackupFile {
    QString from;         // copied into the backup before the format; empty: nothing to copy
    QString backup;       // the copy that is put back
    QString to;           // where it is put back
    bool program = false; // one of the program's files (platform::ProgramFileSet)
};

struct CardBackup {
    QString folder;     // where the files wait, ending in '/'
    bool fresh = false; // made for this format, removed once everything is back
    // setup.cfg, the program's files, MLO and boot.scr, in the order they are put back.
    std::vector<BackupFile> files;
};

// Whether a path lies on the card that is going to be formatted.
using OnCardTest = std::function<bool(const QString &path)>;

// Where the files of the card wait. The preferred folder (the program's) is the backup folder
// unless it lies on the card; then a fresh folder is made below the first of freshRoots that is
// off the card. The program's files are backed up too when the program lies on the card, since
// the format takes them away; otherwise they are put back from where they are. False, with the reason in *error,
// when no folder off the card can be had.
bool PlanCardBackup(const QString &cardFolder, const QString &cardRoot, const QString &programFile,
                    const QString &preferredFolder, const QStringList &freshRoots,
                    const OnCardTest &onCard, CardBackup &plan, QString *error);

// Copies the files off the card, setup.cfg, MLO, boot.scr and then the program; a file missing
// on the card is not copied. Each copy is reported to copied(). False at the first file that is
// there and cannot be copied, with its path in *failed.
bool MakeCardBackup(const CardBackup &plan,
                    const std::function<void(const QString &from, const QString &to)> &copied,
                    QString *failed);

// Makes the card folder and puts every file the backup holds back in place. True when all of
// them are back.
bool RestoreCardBackup(const CardBackup &plan);

// Removes a fresh backup folder; a backup folder that was there before is left as it is.
void DiscardCardBackup(const CardBackup &plan);
