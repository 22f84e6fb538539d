// Device kind -> constructor of its backend: the one place that names the backends.
// Constant data, read under the factory lock by CLS_AutoBase::GetInstance and by
// tests that run over every registered kind.
#pragma once

#include <QList>

class CLS_AutoBase;

// Builds the backend of a kind; several kinds may share a class (it gets the kind).
using BurnBackendCreator = CLS_AutoBase* (*)(int _iBurnDev);

// The constructor of the kind's backend; null for a kind without one.
BurnBackendCreator FindBackendCreator(int _iBurnDev);

// Every kind that has a backend, ascending.
QList<int> RegisteredBurnDevs();
