#include "BurnTestRecorder.h"

#include <mutex>

namespace
{
std::mutex s_mutexRecords;
std::vector<std::string> s_vecRecords;
}  // namespace

void BurnTestRecord(const std::string& _strCall)
{
    std::lock_guard<std::mutex> lock(s_mutexRecords);
    s_vecRecords.push_back(_strCall);
}

std::vector<std::string> BurnTestTakeRecords()
{
    std::lock_guard<std::mutex> lock(s_mutexRecords);
    std::vector<std::string> vecTaken;
    vecTaken.swap(s_vecRecords);
    return vecTaken;
}
