// A video-management client of burnhost --listen speaking the acknowledged protocol: it
// sends each job's commands one after the other, acknowledges every "send" message, and
// sends its unanswered requests again whenever it connects. Test or bench thread only.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QWebSocket>

#include <functional>

class CLS_AckClient
{
public:
    using StepParams = std::function<QJsonObject(const QString& _qstrCmd, const QString& _qstrJobId)>;
    struct Job
    {
        int iStep = 0;  // index into the steps; all done: waiting for the end
        qint64 llCreated = 0;
        QSet<QString> qsetFinalKeys;  // the final status replies, by msgId and time stamp
        int iStatus = -1;
    };
    static const QStringList& Steps()
    {
        static const QStringList s_qlstSteps{"ApplyBurn", "StartBurn", "AddFile", "WriteLabel", "DoBurn"};
        return s_qlstSteps;
    }
    // What every device takes after ApplyBurn: one copy of one file, a title, a label field.
    static QJsonObject StepParam(const QString& _qstrCmd, const QString& _qstrJobId, const QString& _qstrSrcFile)
    {
        if (_qstrCmd == "StartBurn")
            return {{"CDType", "DVD 4.7GB"}, {"CDTitle", _qstrJobId}, {"CloseDisc", "yes"}, {"CopyCount", 1}};
        if (_qstrCmd == "AddFile")
            return {{"FileList", QJsonArray{QJsonObject{{"srcFile", _qstrSrcFile}, {"DesFile", "/a.mp4"}}}}};
        if (_qstrCmd == "WriteLabel")
            return {{"LabelInfo", QJsonObject{{"UpperOne", _qstrJobId}}}};
        return {};
    }

    explicit CLS_AckClient(StepParams _fnParams, QString _qstrSender = "vms")
        : m_fnParams(std::move(_fnParams)), m_qstrSender(std::move(_qstrSender))
    {
        QObject::connect(&m_qws, &QWebSocket::connected, [this] {
            for (auto it = m_qmapJobs.cbegin(); it != m_qmapJobs.cend(); ++it)
                SendStep(it.key());
        });
        QObject::connect(&m_qws, &QWebSocket::textMessageReceived, [this](const QString& _qstrText) { Take(_qstrText); });
    }
    // The client names itself in the address, so replies held for it reach it at once.
    void Open(const QString& _qstrUrl)
    {
        m_qws.abort();
        m_qws.open(QUrl(_qstrUrl + "/?token=tok&platform=test&sender=" + m_qstrSender));
    }
    bool IsConnected() const { return m_qws.state() == QAbstractSocket::ConnectedState; }
    void AddJob(const QString& _qstrJobId)
    {
        m_qmapJobs[_qstrJobId].llCreated = QDateTime::currentMSecsSinceEpoch();
        SendStep(_qstrJobId);
    }
    int Running() const
    {
        return std::count_if(m_qmapJobs.cbegin(), m_qmapJobs.cend(),
                             [](const Job& _stJob) { return _stJob.qsetFinalKeys.isEmpty(); });
    }
    const QMap<QString, Job>& Jobs() const { return m_qmapJobs; }
    QString Unfinished() const
    {
        QStringList qlstJobs;
        for (auto it = m_qmapJobs.cbegin(); it != m_qmapJobs.cend(); ++it) {
            if (it->qsetFinalKeys.isEmpty())
                qlstJobs << QString("%1 at step %2").arg(it.key()).arg(it->iStep);
        }
        return "unfinished: " + qlstJobs.join(", ");
    }
    // Replies of a command that came under more than one msgId and time stamp.
    int RepeatedReplies() const
    {
        return std::count_if(m_qhashReplyKeys.cbegin(), m_qhashReplyKeys.cend(),
                             [](const QSet<QString>& _qsetKeys) { return _qsetKeys.size() > 1; });
    }
    // Replies in a host's store that no client confirmed; -1 when the store cannot be read.
    static int UnconfirmedReplies(const QString& _qstrStore)
    {
        int iCount = -1;
        {
            QSqlDatabase qsqlDb = QSqlDatabase::addDatabase("QSQLITE", "inspect");
            qsqlDb.setDatabaseName(_qstrStore);
            QSqlQuery qsqlQuery(qsqlDb);
            if (qsqlDb.open()
                && qsqlQuery.exec("SELECT COUNT(*) FROM job_item_table WHERE responnse<>'' AND ack_receive<>1")
                && qsqlQuery.next())
                iCount = qsqlQuery.value(0).toInt();
        }
        QSqlDatabase::removeDatabase("inspect");
        return iCount;
    }
    static QString Text(const QJsonObject& _qjsonObj)
    {
        return QString::fromUtf8(QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact));
    }

    int m_iResends = 0;  // "send" messages that came again under the same msgId and time stamp
    QStringList m_qlstProblems;

private:
    void Take(const QString& _qstrText)
    {
        const QJsonObject qjsonMsg = QJsonDocument::fromJson(_qstrText.toUtf8()).object();
        if (qjsonMsg.value("cmdtype") != "send")
            return;
        m_qws.sendTextMessage(Text({{"cmdtype", "ack"}, {"msgId", qjsonMsg.value("msgId")},
                                    {"timestamp", qjsonMsg.value("timestamp")}}));
        const QString qstrKey = qjsonMsg.value("msgId").toString() + ' ' + qjsonMsg.value("timestamp").toString();
        if (m_qhashSent.contains(qstrKey)) {
            ++m_iResends;
            if (m_qhashSent.value(qstrKey) != _qstrText)
                m_qlstProblems << "resent differently: " + _qstrText;
            return;
        }
        m_qhashSent.insert(qstrKey, _qstrText);
        TakeReply(qjsonMsg.value("param").toObject().value("param").toObject(), qstrKey);
    }
    void TakeReply(const QJsonObject& _qjsonModule, const QString& _qstrKey)
    {
        const QJsonObject qjsonParam = _qjsonModule.value("param").toObject();
        const QString qstrJobId = qjsonParam.value("JobId").toString();
        const QString qstrCmd = _qjsonModule.value("cmd").toString();
        if (!m_qmapJobs.contains(qstrJobId))
            return;
        Job& stJob = m_qmapJobs[qstrJobId];
        const int iStatus = qjsonParam.value("status").toInt(-1);
        if (qstrCmd == "BurnStatusReply" && (iStatus == 3 || iStatus == 4)) {
            stJob.qsetFinalKeys.insert(_qstrKey);
            stJob.iStatus = iStatus;
            return;
        }
        if (stJob.iStep >= Steps().size() || qstrCmd != Steps().at(stJob.iStep) + "Reply")
            return;  // an earlier step's reply sent again by a replay
        m_qhashReplyKeys[qstrJobId + ' ' + qstrCmd].insert(_qstrKey);
        if (qjsonParam.value("ret").toInt() != 0) {
            m_qlstProblems << qstrJobId + ": " + Text(qjsonParam);
            return;
        }
        ++stJob.iStep;
        SendStep(qstrJobId);
    }
    // The job's current request, always with the same msgId and time stamp.
    void SendStep(const QString& _qstrJobId)
    {
        const Job& stJob = m_qmapJobs.value(_qstrJobId);
        if (stJob.iStep >= Steps().size() || !IsConnected())
            return;
        const QString qstrCmd = Steps().at(stJob.iStep);
        QJsonObject qjsonParam = m_fnParams(qstrCmd, _qstrJobId);
        qjsonParam.insert("JobId", _qstrJobId);
        const QJsonObject qjsonRequest{
            {"token", "tok"}, {"platform", "test"}, {"sender", m_qstrSender}, {"cmdtype", "request"},
            {"msgId", _qstrJobId + "-" + qstrCmd}, {"timestamp", QString::number(stJob.llCreated + stJob.iStep)},
            {"param", QJsonObject{{"cmd", qstrCmd}, {"param", qjsonParam}}}};
        m_qws.sendTextMessage(Text(qjsonRequest));
    }

    QWebSocket m_qws;
    StepParams m_fnParams;
    QString m_qstrSender;
    QMap<QString, Job> m_qmapJobs;
    QHash<QString, QString> m_qhashSent;
    QHash<QString, QSet<QString>> m_qhashReplyKeys;  // job and reply command -> its msgId and time stamps
};
