// Entries of the operating-system and logging library win32_libos.dll, in lookup order.
// Compile-time table (row forms in BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

// Services and the module's own logging entries.
BURN_FWD(int, os_startup, (int _iThreadCount, int _iTimerCount), (_iThreadCount, _iTimerCount), 0, PLAIN_NULL)
BURN_FWD(int, os_cleanup, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_is_startup, (void), (), 0, PLAIN_NULL)
BURN_ENTRY_VA(void, log_msg, (int _iLevel, const char* _szFmt, ...), (_iLevel), _szFmt)
BURN_ENTRY_VA(void, log_debug_ex, (int _iLevel, const char* _szFile, int _iLine, const char* _szFmt, ...),
              (_iLevel, _szFile, _iLine), _szFmt)
BURN_ENTRY(void, log_debug_puts, (int _iLevel, const char* _szFile, int _iLine, const char* _szText),
           (_iLevel, _szFile, _iLine, _szText))
BURN_ENTRY_VA(void, log_quit, (const char* _szFmt, ...), (), _szFmt)
BURN_ENTRY_VA(void, err_msg, (const char* _szFmt, ...), (), _szFmt)
BURN_ENTRY_VA(void, err_quit, (const char* _szFmt, ...), (), _szFmt)
BURN_ENTRY(void, log_date, (void), ())

// The line buffer: lock, date, message, message and unlock.
BURN_FWD(void, log_buf_lock, (void), (), BURN_NO_RESULT, DY_NULL)
BURN_FWD(void, log_buf_date, (void), (), BURN_NO_RESULT, DY_NULL)
BURN_FWD_VA(void, log_buf_msg, (int _iLevel, const char* _szFmt, ...), (_iLevel), _szFmt, 2, BURN_NO_RESULT, DY_NULL)
BURN_FWD_VA(void, log_buf_msg_unlock, (int _iLevel, const char* _szFmt, ...), (_iLevel), _szFmt, 2, BURN_NO_RESULT,
            DY_NULL)
BURN_ENTRY_VA(void, err_buf_msg_unlock, (const char* _szFmt, ...), (), _szFmt)
BURN_ENTRY_VA(void, log_buf_quit_unlock, (const char* _szFmt, ...), (), _szFmt)
BURN_ENTRY_VA(void, err_buf_quit_unlock, (const char* _szFmt, ...), (), _szFmt)
BURN_FWD(void, log_get_path, (char* _szPath, int _iLen), (_szPath, _iLen), BURN_NO_RESULT, PLAIN_NULL)
BURN_FWD(void, log_set_path, (const char* _szPath), (_szPath), BURN_NO_RESULT, PLAIN_NULL)

// TCP server.
BURN_FWD(int, os_tcp_server_bind_accept, (void* _pServer, PFN_OsTcpAccept _pfnAccept, void* _pUser),
         (_pServer, _pfnAccept, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_close, (void* _pServer), (_pServer), 0, PLAIN_NULL)
BURN_FWD(void*, os_tcp_server_create, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_destroy, (void* _pServer), (_pServer), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_get_local, (void* _pServer, char* _szIp, int _iIpLen, int* _piPort),
         (_pServer, _szIp, _iIpLen, _piPort), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_get_status, (void* _pServer), (_pServer), -1, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_open, (void* _pServer), (_pServer), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_server_set_local, (void* _pServer, const char* _szIp, int _iPort), (_pServer, _szIp, _iPort), 0,
         PLAIN_NULL)

// TCP client.
BURN_FWD(int, os_tcp_client_bind_connect, (void* _pClient, PFN_OsNetEvent _pfnEvent, void* _pUser),
         (_pClient, _pfnEvent, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_bind_disconnect, (void* _pClient, PFN_OsNetEvent _pfnEvent, void* _pUser),
         (_pClient, _pfnEvent, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_bind_read, (void* _pClient, PFN_OsNetRead _pfnRead, void* _pUser),
         (_pClient, _pfnRead, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_bind_write, (void* _pClient, PFN_OsNetEvent _pfnEvent, void* _pUser),
         (_pClient, _pfnEvent, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_close, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(void*, os_tcp_client_create, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_destroy, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_get_local, (void* _pClient, char* _szIp, int _iIpLen, int* _piPort),
         (_pClient, _szIp, _iIpLen, _piPort), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_get_remote, (void* _pClient, char* _szIp, int _iIpLen, int* _piPort),
         (_pClient, _szIp, _iIpLen, _piPort), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_get_status, (void* _pClient), (_pClient), -1, PLAIN_NULL)
BURN_FWD(void*, os_tcp_client_get_udata, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_open, (void* _pClient, int _iTimeoutMs), (_pClient, _iTimeoutMs), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_read, (void* _pClient, char* _szBuf, int _iLen), (_pClient, _szBuf, _iLen), -1, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_send, (void* _pClient, const char* _szData, int _iLen), (_pClient, _szData, _iLen), -1,
         PLAIN_NULL)
BURN_FWD(int, os_tcp_client_set_local, (void* _pClient, const char* _szIp, int _iPort), (_pClient, _szIp, _iPort), 0,
         PLAIN_NULL)
BURN_FWD(int, os_tcp_client_set_rcvbuf_len, (void* _pClient, int _iLen), (_pClient, _iLen), 0, PLAIN_NULL)
BURN_FWD(int, os_tcp_client_set_remote, (void* _pClient, const char* _szIp, int _iPort), (_pClient, _szIp, _iPort), 0,
         PLAIN_NULL)
BURN_FWD(int, os_tcp_client_set_udata, (void* _pClient, void* _pUData), (_pClient, _pUData), 0, PLAIN_NULL)

// UDP client (its receive-buffer length is looked up near the end).
BURN_FWD(int, os_udp_client_bind_read, (void* _pClient, PFN_OsUdpRead _pfnRead, void* _pUser),
         (_pClient, _pfnRead, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_bind_write, (void* _pClient, PFN_OsNetEvent _pfnEvent, void* _pUser),
         (_pClient, _pfnEvent, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_close, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(void*, os_udp_client_create, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_destroy, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_get_local, (void* _pClient, char* _szIp, int _iIpLen, int* _piPort),
         (_pClient, _szIp, _iIpLen, _piPort), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_get_status, (void* _pClient), (_pClient), -1, PLAIN_NULL)
BURN_FWD(void*, os_udp_client_get_udata, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_open, (void* _pClient), (_pClient), 0, PLAIN_NULL)
BURN_FWD(int, os_udp_client_read,
         (void* _pClient, char* _szBuf, int _iLen, char* _szFromIp, int _iFromIpLen, int* _piFromPort),
         (_pClient, _szBuf, _iLen, _szFromIp, _iFromIpLen, _piFromPort), -1, PLAIN_NULL)
BURN_FWD(int, os_udp_client_send, (void* _pClient, const char* _szIp, int _iPort, const char* _szData, int _iLen),
         (_pClient, _szIp, _iPort, _szData, _iLen), -1, PLAIN_NULL)
BURN_FWD(int, os_udp_client_set_local, (void* _pClient, const char* _szIp, int _iPort), (_pClient, _szIp, _iPort), 0,
         PLAIN_NULL)
BURN_FWD(int, os_udp_client_set_udata, (void* _pClient, void* _pUData), (_pClient, _pUData), 0, PLAIN_NULL)

// Serial (comm) client.
BURN_ENTRY(int, os_comm_client_bind_read, (void* _pComm, PFN_OsNetRead _pfnRead, void* _pUser),
           (_pComm, _pfnRead, _pUser))
BURN_FWD(int, os_comm_client_close, (void* _pComm), (_pComm), 0, PLAIN_NULL)
BURN_FWD(void*, os_comm_client_create, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_comm_client_destroy, (void* _pComm), (_pComm), 0, PLAIN_NULL)
BURN_FWD(int, os_comm_client_get_status, (void* _pComm), (_pComm), -1, PLAIN_NULL)
BURN_FWD(void*, os_comm_client_get_udata, (void* _pComm), (_pComm), 0, PLAIN_NULL)
BURN_FWD(int, os_comm_client_open, (void* _pComm, const char* _szPort, int _iBaudRate), (_pComm, _szPort, _iBaudRate),
         0, PLAIN_NULL)
BURN_FWD(int, os_comm_client_read, (void* _pComm, char* _szBuf, int _iLen), (_pComm, _szBuf, _iLen), 0, PLAIN_NULL)
BURN_FWD(int, os_comm_client_send, (void* _pComm, const char* _szData, int _iLen), (_pComm, _szData, _iLen), -1,
         PLAIN_NULL)
BURN_FWD(int, os_comm_client_set_udata, (void* _pComm, void* _pUData), (_pComm, _pUData), 0, PLAIN_NULL)

// Double-linked list (nodes are opaque) and dynamic array.
BURN_FWD(int, adt_dlist_add, (void* _pList, void* _pData), (_pList, _pData), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_create, (int _iLocked), (_iLocked), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_delete, (void* _pList, void* _pNode), (_pList, _pNode), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_delete_ex, (void* _pList, void* _pNode, PFN_AdtFree _pfnFree), (_pList, _pNode, _pfnFree), 0,
         PLAIN_NULL)
BURN_FWD(int, adt_dlist_destroy, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_empty, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_end, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_getdata, (void* _pNode), (_pNode), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_head, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_insert, (void* _pList, void* _pNode, void* _pData), (_pList, _pNode, _pData), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_lock, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_next, (void* _pNode), (_pNode), 0, PLAIN_NULL)
BURN_FWD(void*, adt_dlist_prev, (void* _pNode), (_pNode), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_size, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(int, adt_dlist_unlock, (void* _pList), (_pList), 0, PLAIN_NULL)
BURN_FWD(void*, adt_darray_create, (int _iCapacity), (_iCapacity), 0, PLAIN_NULL)
BURN_FWD(int, adt_darray_delete, (void* _pArray, int _iIndex), (_pArray, _iIndex), 0, PLAIN_NULL)
BURN_FWD(int, adt_darray_destroy, (void* _pArray), (_pArray), 0, PLAIN_NULL)
BURN_FWD(void*, adt_darray_get_by_index, (void* _pArray, int _iIndex), (_pArray, _iIndex), 0, PLAIN_NULL)
BURN_FWD(int, adt_darray_insert, (void* _pArray, int _iIndex, void* _pData), (_pArray, _iIndex, _pData), 0, PLAIN_NULL)
BURN_FWD(int, adt_darray_length, (void* _pArray), (_pArray), 0, PLAIN_NULL)
BURN_FWD(int, adt_darray_push_back, (void* _pArray, void* _pData), (_pArray, _pData), 0, PLAIN_NULL)

// Ring buffer of bytes.
BURN_FWD(int, ringbuf_capacity, (void* _pRing), (_pRing), 0, PLAIN_NULL)
BURN_FWD(int, ringbuf_clear, (void* _pRing), (_pRing), -1, PLAIN_NULL)
BURN_FWD(int, ringbuf_copy, (void* _pRing, char* _szBuf, int _iLen), (_pRing, _szBuf, _iLen), -1, PLAIN_NULL)
BURN_FWD(void, ringbuf_copydata, (void* _pRing, char* _szBuf, int _iLen), (_pRing, _szBuf, _iLen), BURN_NO_RESULT,
         PLAIN_NULL)
BURN_FWD(void*, ringbuf_create, (int _iSize), (_iSize), 0, PLAIN_NULL)
BURN_FWD(int, ringbuf_datasize, (void* _pRing), (_pRing), 0, PLAIN_NULL)
BURN_FWD(void, ringbuf_destroy, (void* _pRing), (_pRing), BURN_NO_RESULT, PLAIN_NULL)
BURN_FWD(void, ringbuf_get_index, (void* _pRing, int* _piReadIndex, int* _piWriteIndex),
         (_pRing, _piReadIndex, _piWriteIndex), BURN_NO_RESULT, PLAIN_NULL)
BURN_FWD(char*, ringbuf_getdata, (void* _pRing), (_pRing), 0, PLAIN_NULL)
BURN_FWD(int, ringbuf_read, (void* _pRing, char* _szBuf, int _iLen), (_pRing, _szBuf, _iLen), -1, PLAIN_NULL)
BURN_FWD(int, ringbuf_remove, (void* _pRing, int _iLen), (_pRing, _iLen), -1, PLAIN_NULL)
BURN_FWD(int, ringbuf_write, (void* _pRing, const char* _szData, int _iLen), (_pRing, _szData, _iLen), -1, PLAIN_NULL)

// Timers, mutexes, threads, text coding and the main lock.
BURN_FWD(void*, os_timer_create, (int _iIntervalMs, PFN_OsTimerProc _pfnTimer, void* _pUser),
         (_iIntervalMs, _pfnTimer, _pUser), 0, PLAIN_NULL)
BURN_FWD(int, os_timer_destroy, (void* _pTimer), (_pTimer), 0, PLAIN_NULL)
BURN_FWD(int, os_mutex_init, (void* _pMutex), (_pMutex), 0, PLAIN_NULL)
BURN_FWD(void*, os_mutex_create, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_mutex_free, (void* _pMutex), (_pMutex), 0, PLAIN_NULL)
BURN_FWD(int, os_mutex_destroy, (void* _pMutex), (_pMutex), 0, PLAIN_NULL)
BURN_FWD(int, os_mutex_lock, (void* _pMutex), (_pMutex), 0, PLAIN_NULL)
BURN_FWD(int, os_mutex_unlock, (void* _pMutex), (_pMutex), 0, PLAIN_NULL)
BURN_FWD(void*, os_thread_create, (PFN_OsThreadProc _pfnThread, void* _pArg), (_pfnThread, _pArg), 0, PLAIN_NULL)
BURN_FWD(int, os_thread_join, (void* _pThread), (_pThread), 0, PLAIN_NULL)
BURN_FWD(int, os_thread_detach, (void* _pThread), (_pThread), 0, PLAIN_NULL)
BURN_FWD(int, os_thread_self, (void), (), -1, PLAIN_NULL)
BURN_FWD(void, os_sleep, (int _iMs), (_iMs), BURN_NO_RESULT, PLAIN_NULL)
BURN_FWD(int, os_encode, (const char* _szIn, int _iInLen, char* _szOut, int _iOutLen), (_szIn, _iInLen, _szOut, _iOutLen),
         0, PLAIN_NULL)
BURN_FWD(int, os_decode, (const char* _szIn, int _iInLen, char* _szOut, int _iOutLen), (_szIn, _iInLen, _szOut, _iOutLen),
         0, PLAIN_NULL)
BURN_FWD(int, os_code_convert,
         (const char* _szFromCode, const char* _szToCode, const char* _szIn, int _iInLen, char* _szOut, int _iOutLen),
         (_szFromCode, _szToCode, _szIn, _iInLen, _szOut, _iOutLen), -1, PLAIN_NULL)
BURN_FWD(int, os_main_lock, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_main_unlock, (void), (), 0, PLAIN_NULL)
BURN_FWD(int, os_post_func, (PFN_OsPostFunc _pfnFunc, void* _pArg), (_pfnFunc, _pArg), 0, PLAIN_NULL)
BURN_FWD(int, getcustomfunction, (const char* _szName, void** _ppFunc), (_szName, _ppFunc), -1, PLAIN_NULL)
BURN_FWD(int, os_udp_client_set_rcvbuf_len, (void* _pClient, int _iLen), (_pClient, _iLen), 0, PLAIN_NULL)
BURN_FWD(void, log_set_proc_name, (const char* _szName), (_szName), BURN_NO_RESULT, PLAIN_NULL)
BURN_FWD(int, log_start, (int _iToFile, int _iFlushEachLine), (_iToFile, _iFlushEachLine), 0, DY_NULL)

// Re-exported, but the binding never looks it up: it always reports and returns 0.
BURN_FWD_UNBOUND(int, log_manage_startup, (void), (), 0, DY_NULL)

#include "BurnApiTableEnd.h"
