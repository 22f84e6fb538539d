#include "PubSimFiles.h"

#include <QDirIterator>
#include <QFileInfo>

#include "Publisher/PublisherVendor.h"

namespace
{
const QString s_qstrDataKey = QStringLiteral("DATA");

QString ToSlashes(QString _qstrPath)
{
    return _qstrPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

PubSimFile ParseDataValue(const QString& _qstrValue, const QString& _qstrSeparator)
{
    const int iSeparator = _qstrValue.indexOf(_qstrSeparator);
    if (iSeparator < 0)
        return {ToSlashes(_qstrValue), QString()};
    return {ToSlashes(_qstrValue.left(iSeparator)), ToSlashes(_qstrValue.mid(iSeparator + _qstrSeparator.size()))};
}

QString FieldKey(const PublisherVendor& _stVendor, PublisherValue _eValue)
{
    return QString::fromLatin1(PublisherFieldKey(_stVendor, _eValue));
}

// The simulator reads orders with the module's own description of the vendor.
PubSimVendor PubSimVendorOf(const PublisherVendor& _stVendor)
{
    return {
        QString::fromLatin1(_stVendor.szName),
        QString::fromLatin1(_stVendor.szOrderExt),
        _stVendor.eEncoding == JobFileEncoding::Local8Bit,
        QString::fromLatin1(_stVendor.szFileSeparator),
        FieldKey(_stVendor, PublisherValue::MediaClass),
        FieldKey(_stVendor, PublisherValue::Title),
        FieldKey(_stVendor, PublisherValue::Copies),
        FieldKey(_stVendor, PublisherValue::Publisher),
    };
}

QString SizeText(qint64 _iSize)
{
    return _iSize < 0 ? QStringLiteral("missing") : QString::number(_iSize);
}
}  // namespace

const PubSimVendor& EpsonVendor()
{
    static const PubSimVendor s_stVendor = PubSimVendorOf(EpsonPublisher());
    return s_stVendor;
}

const PubSimVendor& PrimeraVendor()
{
    static const PubSimVendor s_stVendor = PubSimVendorOf(PrimeraPublisher());
    return s_stVendor;
}

PubSimOrder ParsePubSimOrder(const QByteArray& _qbaText, const PubSimVendor& _stVendor)
{
    const QString qstrText = _stVendor.blLocal8Bit ? QString::fromLocal8Bit(_qbaText) : QString::fromUtf8(_qbaText);
    PubSimOrder stOrder;
    for (QString qstrLine : qstrText.split(QLatin1Char('\n'))) {
        if (qstrLine.endsWith(QLatin1Char('\r')))
            qstrLine.chop(1);
        const int iEqual = qstrLine.indexOf(QLatin1Char('='));
        if (iEqual <= 0)
            continue;
        const QString qstrKey = qstrLine.left(iEqual);
        const QString qstrValue = qstrLine.mid(iEqual + 1);
        if (qstrKey == s_qstrDataKey)
            stOrder.vecFiles << ParseDataValue(qstrValue, _stVendor.qstrFileSeparator);
        else if (!stOrder.qmapFields.contains(qstrKey))
            stOrder.qmapFields.insert(qstrKey, qstrValue);
    }
    return stOrder;
}

QByteArray ComposeStatusFile(const QString& _qstrPublisher, const QMap<QString, QString>& _qmapErrors)
{
    QString qstrText = QStringLiteral("[PUBLISHER1]\r\nNAME=%1\r\n").arg(_qstrPublisher);
    for (auto itError = _qmapErrors.constBegin(); itError != _qmapErrors.constEnd(); ++itError)
        qstrText += QStringLiteral("\r\n[%1]\r\nERROR=%2\r\n").arg(itError.key(), itError.value());
    return qstrText.toUtf8();
}

QByteArray ComposeResultFile(const QString& _qstrJobId, const PubSimVendor& _stVendor, const PubSimOrder& _stOrder,
                             const QVector<qint64>& _vecSizes, const QString& _qstrErrorCode)
{
    qint64 iBytes = 0;
    QString qstrFiles;
    for (int iFile = 0; iFile < _stOrder.vecFiles.size(); ++iFile) {
        const qint64 iSize = _vecSizes.value(iFile, -1);
        iBytes += qMax<qint64>(iSize, 0);
        const PubSimFile& stFile = _stOrder.vecFiles[iFile];
        qstrFiles += QStringLiteral("FILE=%1\t%2\t%3\n")
                         .arg(SizeText(iSize), stFile.qstrSource, stFile.qstrDestination);
    }
    const QString qstrOutcome =
        _qstrErrorCode.isEmpty() ? QStringLiteral("done") : QStringLiteral("error ") + _qstrErrorCode;
    QString qstrText;
    qstrText += QStringLiteral("JOB=%1\n").arg(_qstrJobId);
    qstrText += QStringLiteral("VENDOR=%1\n").arg(_stVendor.qstrName);
    qstrText += QStringLiteral("OUTCOME=%1\n").arg(qstrOutcome);
    qstrText += QStringLiteral("DISC_TYPE=%1\n").arg(_stOrder.qmapFields.value(_stVendor.qstrDiscTypeKey));
    qstrText += QStringLiteral("VOLUME_LABEL=%1\n").arg(_stOrder.qmapFields.value(_stVendor.qstrVolumeKey));
    qstrText += QStringLiteral("COPIES=%1\n").arg(_stOrder.qmapFields.value(_stVendor.qstrCopiesKey));
    qstrText += QStringLiteral("FILES=%1\n").arg(_stOrder.vecFiles.size());
    qstrText += QStringLiteral("BYTES=%1\n").arg(iBytes);
    return (qstrText + qstrFiles).toUtf8();
}

qint64 SourceSize(const QString& _qstrPath)
{
    const QFileInfo qfileInfo(_qstrPath);
    if (!qfileInfo.exists())
        return -1;
    if (!qfileInfo.isDir())
        return qfileInfo.size();
    qint64 iBytes = 0;
    QDirIterator qdirIt(_qstrPath, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (qdirIt.hasNext()) {
        qdirIt.next();
        iBytes += qdirIt.fileInfo().size();
    }
    return iBytes;
}
