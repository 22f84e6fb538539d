// The burn service's error codes and their texts, shared by the module's burn-service
// backend and our replacement of the service SDK. Data; callable from any thread.
#pragma once

#include <cstddef>

struct PmyBsErrorText
{
    int iCode;
    const char* szText;
};

inline constexpr PmyBsErrorText g_arrPmyBsErrorTexts[] = {
    {11000, "连接刻录服务失败，需确认刻录服务IP端口是否正确，并保证网络通畅"},
    {11001, "初始化接收服务数据推送模块失败"},
    {11002, "异常错误"},
    {11003, "无效参数"},
    {11004, "解析返回包体失败"},
    {11005, "无效的系统配置项"},
    {11006, "输出Buffer长度太小，一般用于获取输出Buffer长度；"},
    {11007, "不支持该类型的任务"},
    {11008, "未找到任务"},
    {11009, "文件不存在"},
    {11010, "文件打开失败"},
    {11011, "已登录"},
    {11012, "未登录"},
    {11013, "文件传输网络初始化失败"},
    {11014, "任务中未添加刻录文件"},
    {11015, "任务数据 Buffer 太长（一般是添加的文件太多导致）"},
    {11016, "任务关闭失败，刻录源传输中"},
};

// The text of a code of the table; null for any other code.
inline const char* FindPmyBsErrorText(int _iCode)
{
    for (const PmyBsErrorText& stText : g_arrPmyBsErrorTexts) {
        if (stText.iCode == _iCode)
            return stText.szText;
    }
    return nullptr;
}
