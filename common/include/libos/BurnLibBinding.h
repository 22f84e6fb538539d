// PLACEHOLDER until the generated bindings land: the entries the module itself calls.
#pragma once

extern "C" {
int libos_init(const char* _szDir);
void log_set_path(const char* _szPath);
int log_manage_startup(void);
int log_start(int _iToFile, int _iFlushEachLine);
int os_startup(int _iThreadCount, int _iTimerCount);
int webservice_sdk_submit(const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, char** _ppReply);
int webservice_sdk_release(char** _ppReply);
}
