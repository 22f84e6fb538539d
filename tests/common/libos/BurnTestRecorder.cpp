#include "BurnTestRecorder.h"

#include <mutex>

namespace
{
std::mutex& RecordMutex()
{
    static std::mutex s_mutex;
    return s_mutex;
}

std::vector<std::string>& Records()
{
    static std::vector<std::string> s_vecRecords;
    return s_vecRecords;
}
}  // namespace

void BurnTestRecord(const std::string& _strCall)
{
    std::lock_guard<std::mutex> lock(RecordMutex());
    Records().push_back(_strCall);
}

std::vector<std::string> BurnTestTakeRecords()
{
    std::lock_guard<std::mutex> lock(RecordMutex());
    std::vector<std::string> vecTaken;
    vecTaken.swap(Records());
    return vecTaken;
}
