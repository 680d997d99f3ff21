// Running the independent judges (fsck.fat, sfdisk, mtools) on the images the tests build.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// Runs a program with MTOOLS_SKIP_CHECK=1 and input on its standard input; stdout and stderr
// merged into output. -1 when the program could not be run.
int RunTool(const QString &program, const QStringList &args, QString *output = nullptr,
            const QByteArray &input = {});

// Copies the partition at 8192 of a whole-disk image into a sparse file of volumeSectors and
// runs fsck.fat -n on it; returns the lines of its findings (without its banner and summary, and
// without the indented lines that tell about the one before; *output has all it said).
QStringList FsckFindings(const QString &image, uint32_t volumeSectors, const QString &scratch,
                         int *exitCode = nullptr, QString *output = nullptr);

// The same copy checked with fsck.fat -n -v: its whole output, which also names the volume's
// data clusters ("65529 data clusters").
QString FsckVerbose(const QString &image, uint32_t volumeSectors, const QString &scratch,
                    int *exitCode = nullptr);

// This tool's own layout written onto a whole-disk image as MakeMBR writes it (geometry 255/63):
// RETURN_FORMAT_SUCCESS, the failed step's code, or -1 when the image takes no layout.
int WriteOwnLayout(const QString &image);

// A sparse file of that many 512-byte sectors.
bool MakeSparseImage(const QString &path, uint64_t sectors);

// The two findings the card layout implies.
extern const char kLabelFinding[];
extern const char kFreeCountFinding[];
