// libFuzzer's entry points, the same for every fuzz program: the program's own part is
// its FuzzSupport::c_stTarget.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* _piArgc, char*** _pppArgv)
{
    const FuzzSupport::Target& stTarget = FuzzSupport::c_stTarget;
    FuzzSupport::Start(_piArgc, _pppArgv);
    if (stTarget.blScratchFolder)
        FuzzSupport::EnterScratchFolder();
    if (stTarget.pfnSetUp)
        stTarget.pfnSetUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* _pData, size_t _uSize)
{
    if (_uSize == 0)
        return 0;
    const FuzzSupport::Target& stTarget = FuzzSupport::c_stTarget;
    const QByteArray qbaRest = FuzzSupport::Bytes(_pData + 1, _uSize - 1);
    if (stTarget.blSkipRepeatedKeys && FuzzSupport::RepeatsKey(qbaRest))
        return 0;
    stTarget.pfnRun(_pData[0], qbaRest);
    return 0;
}
