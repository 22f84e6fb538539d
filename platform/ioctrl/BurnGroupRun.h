// The burn of one group, on the group's own thread: source check, image stream, disc
// check (waiting for the operator on a bad disc), space check, write, read-back
// check, and one final report.
#pragma once

#include "CLS_IoCtrlLibrary.h"

void RunBurnGroup(CLS_IoCtrlLibrary& _library, BurnGroup& _stGroup);

// Capacity and free space of the group's disc; false when no disc can tell.
bool DiscSpace(CLS_IoCtrlLibrary& _library, const BurnGroup& _stGroup, long long& _llTotal, long long& _llFree);

// The disc error a pseudo-drive's image file stands for (-1: a blank, writable disc).
int PseudoDiscError(const std::string& _strImageFile);
