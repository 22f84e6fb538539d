// Entries of the HTTP client library win32_webservice_sdk.dll, in lookup order. Texts
// are UTF-8; replies are allocated by the library and given back with
// webservice_sdk_release; transfer handles are 64-bit numbers, -1 on failure.
// Compile-time table (row forms in BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD(int, webservice_sdk_startup, (void), (), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_cleanup, (void), (), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit, (const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, char** _ppReply),
         (_szUrl, _iTimeout, _szBody, _iFlag, _ppReply), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_release, (char** _ppReply), (_ppReply), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_download_urlfile, (const char* _szUrl, const char* _szFile, int _iTimeout),
         (_szUrl, _szFile, _iTimeout), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_download_urlfile_ex2,
         (const char* _szUrl, const char* _szFile, int _iTimeout, const char* _szHeaders),
         (_szUrl, _szFile, _iTimeout, _szHeaders), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_download_urlfile_ex3,
         (const char* _szUrl, const char* _szFile, int _iTimeout, const char* _szHeaders, char** _ppReply),
         (_szUrl, _szFile, _iTimeout, _szHeaders, _ppReply), 0, DY_NULLPTR_TIGHT)
BURN_FWD(int, webservice_sdk_submit_ex2,
         (const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, const char* _szHeaders, char** _ppReply),
         (_szUrl, _iTimeout, _szBody, _iFlag, _szHeaders, _ppReply), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_ex3,
         (const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, const char* _szHeaders, char** _ppReply,
          int* _piHttpCode),
         (_szUrl, _iTimeout, _szBody, _iFlag, _szHeaders, _ppReply, _piHttpCode), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_ex4,
         (const char* _szMethod, const char* _szUrl, int _iTimeout, const char* _szBody, const char* _szHeaders,
          char** _ppReply, int* _piHttpCode),
         (_szMethod, _szUrl, _iTimeout, _szBody, _szHeaders, _ppReply, _piHttpCode), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_ex7,
         (const char* _szMethod, const char* _szUrl, int _iTimeout, const char* _szBody, int _iBodyLen,
          const char* _szHeaders, char** _ppReply, int* _piReplyLen, int* _piHttpCode),
         (_szMethod, _szUrl, _iTimeout, _szBody, _iBodyLen, _szHeaders, _ppReply, _piReplyLen, _piHttpCode), -1,
         DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_multipart,
         (const char* _szUrl, int _iTimeout, const char* _szFieldsJson, const char* _szFile, char** _ppReply),
         (_szUrl, _iTimeout, _szFieldsJson, _szFile, _ppReply), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_multipart_ex,
         (const char* _szUrl, int _iTimeout, const char* _szFieldsJson, const char* _szFile, const char* _szHeaders,
          char** _ppReply),
         (_szUrl, _iTimeout, _szFieldsJson, _szFile, _szHeaders, _ppReply), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_ex,
         (const char* _szUrl, int _iTimeout, const char* _szBody, int _iFlag, const char* _szContentType,
          char** _ppReply),
         (_szUrl, _iTimeout, _szBody, _iFlag, _szContentType, _ppReply), -1, DY_NULLPTR)
BURN_FWD(long long, webservice_sdk_download_urlfile_ex, (const char* _szUrl, const char* _szFile, int _iTimeout),
         (_szUrl, _szFile, _iTimeout), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_download_ftpfile,
         (const char* _szUrl, const char* _szUser, const char* _szPassword, const char* _szFile, int _iTimeout),
         (_szUrl, _szUser, _szPassword, _szFile, _iTimeout), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_stop_download_urlfile, (long long _llTransfer), (_llTransfer), 0, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_getpos_download_urlfile, (long long _llTransfer, long long* _pllDone, long long* _pllTotal),
         (_llTransfer, _pllDone, _pllTotal), -1, DY_NULLPTR)
BURN_FWD(long long, webservice_sdk_upload_urlfile_ex, (const char* _szUrl, const char* _szFile, int _iTimeout),
         (_szUrl, _szFile, _iTimeout), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_getpos_upload_urlfile, (long long _llTransfer, long long* _pllDone, long long* _pllTotal),
         (_llTransfer, _pllDone, _pllTotal), -1, DY_NULLPTR)
BURN_ENTRY(long long, webservice_sdk_submit_multipart_asyn,
           (const char* _szUrl, int _iTimeout, const char* _szFieldsJson, const char* _szFile),
           (_szUrl, _iTimeout, _szFieldsJson, _szFile))
BURN_FWD(long long, webservice_sdk_download_asyn_urlfile, (const char* _szUrl, const char* _szFile, int _iTimeout),
         (_szUrl, _szFile, _iTimeout), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_stop_download_asyn_urlfile, (long long _llTransfer), (_llTransfer), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_getpos_download_asyn_urlfile,
         (long long _llTransfer, long long* _pllDone, long long* _pllTotal), (_llTransfer, _pllDone, _pllTotal), -1,
         DY_NULLPTR)
BURN_FWD(int, webservice_sdk_stop_multipart_asyn, (long long _llTransfer), (_llTransfer), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_getpos_multipart_asyn, (long long _llTransfer, long long* _pllDone, long long* _pllTotal),
         (_llTransfer, _pllDone, _pllTotal), -1, DY_NULLPTR)
BURN_FWD(long long, webservice_sdk_upload_asyn_urlfile, (const char* _szUrl, const char* _szFile, int _iTimeout),
         (_szUrl, _szFile, _iTimeout), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_stop_upload_asyn_urlfile, (long long _llTransfer), (_llTransfer), -1, DY_NULLPTR)
BURN_FWD(int, webservice_sdk_getpos_upload_asyn_urlfile,
         (long long _llTransfer, long long* _pllDone, long long* _pllTotal), (_llTransfer, _pllDone, _pllTotal), -1,
         DY_NULLPTR)
BURN_FWD(int, webservice_sdk_submit_ex5,
         (const char* _szMethod, const char* _szUrl, int _iTimeout, const char* _szBody, const char* _szHeaders,
          char** _ppReply, int* _piHttpCode, char** _ppRedirectUrl),
         (_szMethod, _szUrl, _iTimeout, _szBody, _szHeaders, _ppReply, _piHttpCode, _ppRedirectUrl), -1, DY_NULLPTR)
BURN_FWD(void, webservice_sdk_release_redirect_url, (char** _ppRedirectUrl), (_ppRedirectUrl), BURN_NO_RESULT,
         DY_NULLPTR)

#include "BurnApiTableEnd.h"
