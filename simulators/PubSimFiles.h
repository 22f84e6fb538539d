// The publishers' files as the simulator reads and writes them: orders and job
// requests in, the status file and the result file out. Stateless; any thread.
//
// Result file "<job>.result.txt", beside the order, UTF-8, one "KEY=value\n" a line:
//   JOB=<job id>
//   VENDOR=epson | primera
//   OUTCOME=done | error <vendor code>
//   DISC_TYPE=<disc type of the order>
//   VOLUME_LABEL=<volume label of the order, empty when none>
//   COPIES=<copies of the order, empty when none>
//   FILES=<number of DATA entries>
//   BYTES=<total size of the sources that exist>
//   FILE=<size or "missing">\t<source>\t<destination>   one per DATA entry, in order
// Paths are shown with "/" separators; a source folder counts every file below it.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

// What tells one publisher's files from the other's.
struct PubSimVendor
{
    QString qstrName;           // "epson", "primera"
    QString qstrOrderExt;       // ".jdf", ".jrq"
    bool blLocal8Bit;           // order text in the machine's 8-bit code page, else UTF-8
    QString qstrFileSeparator;  // between source and destination in a DATA value
    QString qstrDiscTypeKey;
    QString qstrVolumeKey;
    QString qstrCopiesKey;
    QString qstrPublisherKey;   // empty: the publisher name is not checked
};

const PubSimVendor& EpsonVendor();
const PubSimVendor& PrimeraVendor();

// One DATA entry, with "/" separators.
struct PubSimFile
{
    QString qstrSource;
    QString qstrDestination;

    bool operator==(const PubSimFile& _stOther) const
    {
        return qstrSource == _stOther.qstrSource && qstrDestination == _stOther.qstrDestination;
    }
};

struct PubSimOrder
{
    QMap<QString, QString> qmapFields;  // first value of every key but DATA
    QVector<PubSimFile> vecFiles;       // DATA entries in file order
};

// KEY=value lines ending in CR LF or LF; lines without "=" are skipped.
PubSimOrder ParsePubSimOrder(const QByteArray& _qbaText, const PubSimVendor& _stVendor);

// "TDBStatus.txt": section PUBLISHER1 with NAME, then one section per failed job
// with ERROR; CR LF line ends, UTF-8.
QByteArray ComposeStatusFile(const QString& _qstrPublisher, const QMap<QString, QString>& _qmapErrors);

// The result file of a job (see above); _vecSizes holds one size per file of the
// order, -1 for a source that cannot be read; an empty code means done.
QByteArray ComposeResultFile(const QString& _qstrJobId, const PubSimVendor& _stVendor, const PubSimOrder& _stOrder,
                             const QVector<qint64>& _vecSizes, const QString& _qstrErrorCode);

// The size of a file, or of every file below a folder; -1 when it does not exist.
qint64 SourceSize(const QString& _qstrPath);
