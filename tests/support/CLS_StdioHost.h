// burnhost run with --stdio for end-to-end tests: requests of one job written to its
// standard input, the module's replies read off its standard output. Test thread only.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// Starts a simulator of the build and waits for its ready line; the number the
// pattern's first group captures there (its port), 0 when the line did not come.
inline int StartSimulator(QProcess& _qproc, const QString& _qstrProgram, const QStringList& _qlstArgs,
                          const QString& _qstrReadyPattern)
{
    _qproc.start(QCoreApplication::applicationDirPath() + "/" + _qstrProgram, _qlstArgs);
    QByteArray qbaOut;
    const QRegularExpression qregReady(_qstrReadyPattern);
    static_cast<void>(QTest::qWaitFor(
        [&] { return qregReady.match(qbaOut += _qproc.readAllStandardOutput()).hasMatch(); }, 30000));
    return qregReady.match(qbaOut).captured(1).toInt();
}

// Ends a program of the build as an operator would (SIGTERM), so that it leaves what a
// clean end leaves (coverage counts among it); killed when it does not end in time.
inline void StopProcess(QProcess& _qproc)
{
    if (_qproc.state() == QProcess::NotRunning)
        return;
    _qproc.terminate();
    if (!_qproc.waitForFinished(10000)) {
        _qproc.kill();
        _qproc.waitForFinished(5000);
    }
}

class CLS_StdioHost
{
public:
    ~CLS_StdioHost() { Stop(); }

    // An application folder of its own holding these files of the build's (paths from
    // the build's program folder); empty when one could not be copied.
    static QString MakeAppDir(const QString& _qstrAppDir, const QStringList& _qlstFiles)
    {
        for (const QString& qstrFile : _qlstFiles) {
            QDir().mkpath(QFileInfo(_qstrAppDir + qstrFile).path());
            if (!QFile::copy(QCoreApplication::applicationDirPath() + qstrFile, _qstrAppDir + qstrFile))
                return QString();
        }
        return _qstrAppDir;
    }
    // Runs with the run folder as working, temporary and data folder, from the build's
    // program folder or the application folder given.
    void Start(const QString& _qstrRunDir, const char* _szTimeScale = "0.01", const QString& _qstrAppDir = QString())
    {
        QProcessEnvironment qenv = QProcessEnvironment::systemEnvironment();
        qenv.insert("TMPDIR", _qstrRunDir);
        qenv.insert("BURNMODULE_TIME_SCALE", _szTimeScale);
        m_qproc.setProcessEnvironment(qenv);
        m_qproc.setWorkingDirectory(_qstrRunDir);
        const QString qstrAppDir = _qstrAppDir.isEmpty() ? QCoreApplication::applicationDirPath() : _qstrAppDir;
        m_qproc.start(qstrAppDir + "/burnhost", {"--stdio", "--data-dir", _qstrRunDir});
    }
    void Stop()
    {
        StopProcess(m_qproc);
        m_qbaOut.clear();
    }
    // One request of the job; "MQ" beside the command when given.
    void Send(const QString& _qstrCmd, const QString& _qstrJobId, QJsonObject _qjsonParam,
              const QJsonObject& _qjsonMq = {})
    {
        _qjsonParam.insert("JobId", _qstrJobId);
        QJsonObject qjsonModule{{"cmd", _qstrCmd}, {"param", _qjsonParam}};
        if (!_qjsonMq.isEmpty())
            qjsonModule.insert("MQ", _qjsonMq);
        const QJsonObject qjsonMsg{{"sender", "cli"}, {"msgId", "m-" + _qstrCmd}, {"param", qjsonModule}};
        m_qproc.write(QJsonDocument(qjsonMsg).toJson(QJsonDocument::Compact) + '\n');
    }
    // The "param" of the module's first reply of that command and job; empty after the wait.
    QJsonObject WaitForReply(const QString& _qstrReplyCmd, const QString& _qstrJobId, int _iWaitMs = 30000)
    {
        QJsonObject qjsonFound;
        const auto found = [&] { return !(qjsonFound = FindReply(_qstrReplyCmd, _qstrJobId)).isEmpty(); };
        static_cast<void>(QTest::qWaitFor(found, _iWaitMs));
        return qjsonFound;
    }
    // Sends and waits for the command's reply.
    QJsonObject Ask(const QString& _qstrCmd, const QString& _qstrJobId, const QJsonObject& _qjsonParam = {},
                    const QJsonObject& _qjsonMq = {})
    {
        Send(_qstrCmd, _qstrJobId, _qjsonParam, _qjsonMq);
        return WaitForReply(_qstrCmd + "Reply", _qstrJobId);
    }
    QProcess& Process() { return m_qproc; }

private:
    QJsonObject FindReply(const QString& _qstrReplyCmd, const QString& _qstrJobId)
    {
        m_qbaOut += m_qproc.readAllStandardOutput();
        for (const QByteArray& qbaLine : m_qbaOut.split('\n')) {
            const QString qstrData = QJsonDocument::fromJson(qbaLine).object().value("data").toString();
            const QJsonObject qjsonModule = QJsonDocument::fromJson(qstrData.toUtf8())["param"].toObject();
            const QJsonObject qjsonParam = qjsonModule.value("param").toObject();
            if (qjsonModule.value("cmd") == _qstrReplyCmd && qjsonParam.value("JobId") == _qstrJobId)
                return qjsonParam;
        }
        return QJsonObject();
    }

    QProcess m_qproc;
    QByteArray m_qbaOut;
};
