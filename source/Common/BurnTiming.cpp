#include "BurnTiming.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace
{
double ReadTimeScale()
{
    bool blOk = false;
    const double dScale = qEnvironmentVariable("BURNMODULE_TIME_SCALE").toDouble(&blOk);
    return (blOk && dScale > 0 && std::isfinite(dScale)) ? dScale : 1.0;
}
}  // namespace

double BurnTimeScale()
{
    static const double s_dScale = ReadTimeScale();
    return s_dScale;
}

int ScaledMs(int _iProductionMs)
{
    const double dMs = std::ceil(_iProductionMs * BurnTimeScale());
    return static_cast<int>(std::clamp(dMs, 1.0, 2147483647.0));
}
