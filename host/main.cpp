// burnhost: runs the burn module the way the video-management host does, relaying
// requests and outgoing messages over standard streams or WebSocket.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

#include "CLS_BurnHost.h"
#include "CLS_SignalWatcher.h"
#include "CLS_StdioRelay.h"
#include "CLS_WebSocketRelay.h"

namespace
{
struct HostOptions
{
    bool blStdio = false;
    QHostAddress qhostListen = QHostAddress(QHostAddress::LocalHost);
    int iPort = -1;
    QString qstrCreateText;
    QString qstrDataDir;
    int iAckTimeoutSec = 30;
};

int Fail(const QString& _qstrMessage)
{
    fprintf(stderr, "burnhost: %s\n", qPrintable(_qstrMessage));
    return 2;
}

// "[address:]port"; the address defaults to 127.0.0.1.
bool ParseListen(const QString& _qstrValue, HostOptions& _stOptions)
{
    const int iColon = _qstrValue.lastIndexOf(QLatin1Char(':'));
    if (iColon >= 0 && !_stOptions.qhostListen.setAddress(_qstrValue.left(iColon)))
        return false;
    bool blOk = false;
    _stOptions.iPort = _qstrValue.mid(iColon + 1).toInt(&blOk);
    return blOk && _stOptions.iPort >= 0 && _stOptions.iPort <= 65535;
}

bool ParseOptions(const QCoreApplication& _qapp, HostOptions& _stOptions, QString& _qstrError)
{
    QCommandLineParser qparser;
    qparser.setApplicationDescription(QStringLiteral("Runs the burn module and relays its messages."));
    qparser.addHelpOption();
    const QCommandLineOption qoptStdio(QStringLiteral("stdio"), QStringLiteral("Relay over standard input/output."));
    const QCommandLineOption qoptListen(QStringLiteral("listen"), QStringLiteral("Serve WebSocket clients."),
                                        QStringLiteral("[address:]port"));
    const QCommandLineOption qoptCreate(QStringLiteral("create-text"), QStringLiteral("Text given to CreateModule."),
                                        QStringLiteral("text"));
    const QCommandLineOption qoptData(QStringLiteral("data-dir"),
                                      QStringLiteral("Working folder (job store and job folders)."),
                                      QStringLiteral("folder"));
    const QCommandLineOption qoptAck(QStringLiteral("ack-timeout"),
                                     QStringLiteral("Seconds a client has to acknowledge a send message."),
                                     QStringLiteral("seconds"), QStringLiteral("30"));
    qparser.addOptions({qoptStdio, qoptListen, qoptCreate, qoptData, qoptAck});
    qparser.process(_qapp);

    _stOptions.blStdio = qparser.isSet(qoptStdio);
    _stOptions.qstrCreateText = qparser.value(qoptCreate);
    _stOptions.qstrDataDir = qparser.value(qoptData);
    bool blAckOk = false;
    _stOptions.iAckTimeoutSec = qparser.value(qoptAck).toInt(&blAckOk);
    if (!blAckOk || _stOptions.iAckTimeoutSec < 1)
        return (_qstrError = QStringLiteral("--ack-timeout takes a whole number of seconds")), false;
    if (qparser.isSet(qoptListen) && !ParseListen(qparser.value(qoptListen), _stOptions))
        return (_qstrError = QStringLiteral("--listen takes [address:]port")), false;
    if (_stOptions.blStdio == (_stOptions.iPort >= 0))
        return (_qstrError = QStringLiteral("choose one of --stdio and --listen")), false;
    return true;
}

bool EnterDataDir(const QString& _qstrDataDir, QString& _qstrError)
{
    if (_qstrDataDir.isEmpty())
        return true;
    if (QDir().mkpath(_qstrDataDir) && QDir::setCurrent(_qstrDataDir))
        return true;
    _qstrError = QStringLiteral("cannot use data folder %1").arg(_qstrDataDir);
    return false;
}

// The module may show operator dialogs. A server without a display still runs them
// on Qt's offscreen platform (nobody sees them; their countdowns still end them).
void ChooseDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const bool blHasDisplay = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    if (!blHasDisplay && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
}
}  // namespace

int main(int argc, char** argv)
{
    ChooseDisplay();
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QCoreApplication::setApplicationName(QStringLiteral("burnhost"));
    HostOptions stOptions;
    QString qstrError;
    if (!ParseOptions(qapp, stOptions, qstrError) || !EnterDataDir(stOptions.qstrDataDir, qstrError))
        return Fail(qstrError);

    CLS_SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &CLS_SignalWatcher::signalStopRequested, &qapp, &QCoreApplication::quit);

    CLS_BurnHost burnHost;
    if (!burnHost.Start(stOptions.qstrCreateText, qstrError))
        return Fail(qstrError);

    std::unique_ptr<QObject> pRelay;
    if (stOptions.blStdio) {
        pRelay = std::make_unique<CLS_StdioRelay>(&burnHost);
        fprintf(stderr, "burnhost: ready on standard input\n");
    } else {
        auto pWebSocket = std::make_unique<CLS_WebSocketRelay>(&burnHost, stOptions.iAckTimeoutSec);
        if (!pWebSocket->Listen(stOptions.qhostListen, static_cast<quint16>(stOptions.iPort), qstrError))
            return Fail(qstrError);
        fprintf(stderr, "burnhost: listening on ws://%s:%u\n", qPrintable(stOptions.qhostListen.toString()),
                pWebSocket->Port());
        pRelay = std::move(pWebSocket);
    }
    const int iRet = qapp.exec();
    pRelay.reset();
    burnHost.Stop();
    return iRet;
}
