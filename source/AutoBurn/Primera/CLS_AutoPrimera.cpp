#include "CLS_AutoPrimera.h"

CLS_AutoPrimera::CLS_AutoPrimera(const std::string& _strOrderDir)
    : CLS_AutoPublisher(PrimeraPublisher(), _strOrderDir)
{
}
