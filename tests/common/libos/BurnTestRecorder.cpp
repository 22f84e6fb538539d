#include "BurnTestRecorder.h"

#include <mutex>
#include <utility>

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
    return std::exchange(s_vecRecords, {});
}
