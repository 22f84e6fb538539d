// Hands the burn bus work that is still running and returns from main at once; the
// test that starts this program expects a clean end (exit code 0, no abort, no
// sanitizer report, no backend call once static destruction has begun). "--no-app"
// runs without a QCoreApplication.
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdarg>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "BurnDefine.h"
#include "CLS_BurnBus.h"
#include "CLS_TestBackend.h"
#include "ModuleLog.h"

namespace
{
// Reachable to the end: the bus may still be calling it while the process ends.
CLS_TestBackend* s_pBackend = nullptr;
std::atomic<bool> s_blEnding{false};

// Registered before the bus exists, so it runs after the bus's own exit handler, at the
// start of static destruction; it lingers there so that a bus thread still running
// would be caught calling its backend.
void MarkEnding()
{
    s_blEnding = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void ObserveCall(const char* _szOp)
{
    if (s_blEnding)
        std::fprintf(stderr, "backend called while the process ends: %s\n", _szOp);
}

void PrintLog(int _iLevel, const char* _szFile, int, const char* _szFmt, ...)
{
    if (_iLevel != n_BurnLogLevel_Error)
        return;
    va_list args;
    va_start(args, _szFmt);
    std::fprintf(stderr, "%s: ", _szFile);
    std::vfprintf(stderr, _szFmt, args);
    std::fputc('\n', stderr);
    va_end(args);
}

std::string Json(const QJsonObject& _qjsonObj)
{
    return QJsonDocument(_qjsonObj).toJson(QJsonDocument::Compact).toStdString();
}
}  // namespace

int main(int argc, char** argv)
{
    const bool blWithApp = !(argc > 1 && std::strcmp(argv[1], "--no-app") == 0);
    std::unique_ptr<QCoreApplication> pApp;
    if (blWithApp)
        pApp = std::make_unique<QCoreApplication>(argc, argv);
    g_pfnModuleLogDebugEx.store(&PrintLog);
    std::atexit(&MarkEnding);

    s_pBackend = new CLS_TestBackend;
    s_pBackend->SetCallDelayMs(20);
    s_pBackend->SetCallObserver(&ObserveCall);
    s_pBackend->SetRobotStatus(0, QStringLiteral("{\"robot\":1}"));
    CLS_AutoBase::InstallInstance(n_BurnDev_Primera4200, s_pBackend);
    CLS_BurnBus* pBus = CLS_BurnBus::GetInstance();

    BurnResultInfo stResult;
    const QJsonObject qjsonApply{{"JobId", "exit-1"}, {"BurnDev", n_BurnDev_Primera4200}};
    if (pBus->InquestBurnEx(Json(qjsonApply), false, &stResult) != 0)
        return 2;
    s_pBackend->SetJobStatus(QStringLiteral("exit-1"), n_BurnJobState_Paused);
    if (pBus->DoBurnEx(Json({{"JobId", "exit-1"}, {"msgId", "m-0"}}), false, &stResult) != 0)
        return 3;
    for (int iReq = 0; iReq < 40; ++iReq) {
        const QJsonObject qjsonReq{{"JobId", "exit-1"}, {"msgId", QString::number(iReq)}};
        pBus->StartBurn(Json(qjsonReq));
        pBus->WriteLabel(Json(qjsonReq));
        pBus->DoBurn(Json(qjsonReq));
        pBus->AddFile(Json(qjsonReq));
        pBus->ApplyBurn(Json({{"JobId", QStringLiteral("exit-a%1").arg(iReq)}, {"BurnDev", n_BurnDev_Primera4200}}));
        pBus->BurnDir(Json({{"JobId", QStringLiteral("exit-d%1").arg(iReq)}, {"msgId", "m"}}));
        const QJsonObject qjsonEntry{{"burnDev", n_BurnDev_Primera4200}, {"subCmd", "getRobotStatus"},
                                     {"devIP", "10.1.1.1"}, {"devPort", 7000 + iReq}};
        pBus->BurnDevCtrl(Json({{"eventId", "ev"}, {"burnDevInfo", QJsonArray{qjsonEntry}}}));
    }
    std::puts("work handed to the bus");
    std::fflush(stdout);
    return 0;
}
