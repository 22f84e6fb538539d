#include "BurnBackendRegistry.h"

#include "BurnDefine.h"
#include "DMX/CLS_AutoDMX_Twelve.h"
#include "Epson/CLS_AutoEpson.h"
#include "LocalCDRom/CLS_LocalCDRom.h"
#include "Oda/CLS_AutoOda.h"
#include "Primera/CLS_AutoPrimera.h"
#include "Primera4200/CLS_AutoPrimera4200.h"

namespace
{
template <class T>
CLS_AutoBase* Construct(int)
{
    return new T();
}

// For a class that serves several kinds and is told which one.
template <class T>
CLS_AutoBase* ConstructForKind(int _iBurnDev)
{
    return new T(_iBurnDev);
}

struct BurnBackendRow
{
    int iBurnDev;
    BurnBackendCreator pfnCreate;
};

// One row per device kind that has a backend, ascending; kinds without a row yield none.
const BurnBackendRow s_arrBackends[] = {
    {n_BurnDev_LocalCDRom, &Construct<CLS_LocalCDRom>},
    {n_BurnDev_Epson, &Construct<CLS_AutoEpson>},
    {n_BurnDev_Primera, &Construct<CLS_AutoPrimera>},
    {n_BurnDev_Oda, &ConstructForKind<CLS_AutoOda>},
    {n_BurnDev_Hms, &ConstructForKind<CLS_AutoOda>},
    {n_BurnDev_Primera4200, &Construct<CLS_AutoPrimera4200>},
    {n_BurnDev_HmsEx, &ConstructForKind<CLS_AutoOda>},
    {n_BurnDev_DMXTwelve, &ConstructForKind<CLS_AutoDMX_Twelve>},
    {n_BurnDev_DMXTwo, &ConstructForKind<CLS_AutoDMX_Two>},
    {n_BurnDev_DMXEight, &ConstructForKind<CLS_AutoDMX_Eight>},
};
}  // namespace

BurnBackendCreator FindBackendCreator(int _iBurnDev)
{
    for (const BurnBackendRow& stRow : s_arrBackends) {
        if (stRow.iBurnDev == _iBurnDev)
            return stRow.pfnCreate;
    }
    return nullptr;
}

QList<int> RegisteredBurnDevs()
{
    QList<int> qlstKinds;
    for (const BurnBackendRow& stRow : s_arrBackends)
        qlstKinds << stRow.iBurnDev;
    return qlstKinds;
}
