// What every fuzz program shares: the Qt application the module's code expects, a
// scratch working folder, the input cut into texts, and the description each program
// gives of itself (FuzzMain.cpp holds libFuzzer's entry points over it).
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace FuzzSupport
{
// One fuzz program: whether it works in a scratch folder, whether it skips texts that
// repeat a JSON key (see RepeatsKey), its set-up (or none) and its run over one input,
// given as the first byte (which reader) and the rest.
struct Target
{
    bool blScratchFolder;
    bool blSkipRepeatedKeys;
    void (*pfnSetUp)();
    void (*pfnRun)(uint8_t _uChoice, const QByteArray& _qbaRest);
};
extern const Target c_stTarget;

// A QCoreApplication for the process's life, every fixed pause of the module shortened
// so an input never waits long.
inline QCoreApplication* s_pApp = nullptr;
inline void Start(int* _piArgc, char*** _pppArgv)
{
    qputenv("BURNMODULE_TIME_SCALE", "0.001");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    s_pApp = new QCoreApplication(*_piArgc, *_pppArgv);
}

// A fresh temporary folder becomes the current one (the job store, "BurnJob/", the job
// work folders and the publishers' folders land there); removed when the fuzzer ends
// normally. Paths on the command line are read after this, so they must be absolute.
inline void EnterScratchFolder()
{
    static QTemporaryDir s_qtmpDir(QDir::tempPath() + QStringLiteral("/burnfuzz-XXXXXX"));
    if (!s_qtmpDir.isValid() || !QDir::setCurrent(s_qtmpDir.path()))
        std::abort();
    qputenv("TMPDIR", s_qtmpDir.path().toUtf8());
    qputenv("BURNMODULE_PUBLISHER_ROOT", (s_qtmpDir.path() + QStringLiteral("/publisher")).toUtf8());
}

// Result values go through here so the calls are not dropped as unused; exclusive or,
// which cannot overflow.
inline volatile unsigned s_uSink = 0;
inline void Keep(qint64 _llValue)
{
    s_uSink = s_uSink ^ static_cast<unsigned>(_llValue);
}
inline void Keep(const QString& _qstrText)
{
    Keep(_qstrText.size());
}

inline QByteArray Bytes(const uint8_t* _pData, size_t _uSize)
{
    return QByteArray(reinterpret_cast<const char*>(_pData), static_cast<int>(_uSize));
}

// Whether a JSON object in the text names a key twice (after the text went through
// UTF-8 decoding, as every text the module reads does). Qt 5.15's parser loses the
// earlier value of such a key, a leak of Qt's that would stop every run at once; the
// fuzz programs skip these texts. Strings are decoded by Qt from a one-element array,
// which cannot repeat a key.
inline bool RepeatsKeyIn(const QByteArray& _qbaText)
{
    // The whole text: QString::fromUtf8(QByteArray) would stop at a NUL.
    const QByteArray qbaJson = QString::fromUtf8(_qbaText.constData(), _qbaText.size()).toUtf8();
    QList<QSet<QString>> qlstKeys;  // per open container; an array's set stays empty
    QList<bool> qlstIsObject;
    const int iSize = qbaJson.size();
    for (int i = 0; i < iSize; ++i) {
        const char cChar = qbaJson.at(i);
        if (cChar == '{' || cChar == '[') {
            qlstKeys.append(QSet<QString>());
            qlstIsObject.append(cChar == '{');
        } else if ((cChar == '}' || cChar == ']') && !qlstKeys.isEmpty()) {
            qlstKeys.removeLast();
            qlstIsObject.removeLast();
        } else if (cChar == '"') {
            const int iStart = i++;
            while (i < iSize && qbaJson.at(i) != '"')
                i += qbaJson.at(i) == '\\' ? 2 : 1;
            int iNext = i + 1;
            while (iNext < iSize && QByteArray(" \t\r\n").contains(qbaJson.at(iNext)))
                ++iNext;
            if (qlstIsObject.isEmpty() || !qlstIsObject.last() || iNext >= iSize || qbaJson.at(iNext) != ':')
                continue;
            const QByteArray qbaToken = qbaJson.mid(iStart, i - iStart + 1);
            const QString qstrKey = QJsonDocument::fromJson("[" + qbaToken + "]").array().at(0).toString();
            if (qlstKeys.last().contains(qstrKey))
                return true;
            qlstKeys.last().insert(qstrKey);
        }
    }
    return false;
}

// The same for the whole text and for each of its NUL-separated parts, which programs
// read as texts of their own: an unmatched quote in one part must not hide the next.
inline bool RepeatsKey(const QByteArray& _qbaText)
{
    if (RepeatsKeyIn(_qbaText))
        return true;
    for (const QByteArray& qbaPart : _qbaText.split('\0')) {
        if (RepeatsKeyIn(qbaPart))
            return true;
    }
    return false;
}

// The input after its first byte, cut at every NUL into at least _iParts pieces (the
// missing ones empty), so one input carries several texts.
inline QList<QByteArray> Parts(const QByteArray& _qbaInput, int _iParts)
{
    QList<QByteArray> qlstParts = _qbaInput.split('\0');
    while (qlstParts.size() < _iParts)
        qlstParts << QByteArray();
    return qlstParts;
}
}  // namespace FuzzSupport
