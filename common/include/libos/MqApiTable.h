// Entries of the message-queue library win32_mq.dll (types in MqTypes.h), in lookup
// order. Compile-time table (row forms in BurnApiTableBegin.h); no include guard.
#include "BurnApiTableBegin.h"

BURN_FWD(int, mq_set_lib, (int _iType, const char* _szLibName), (_iType, _szLibName), 0, DY_NULL)
BURN_FWD(long long, mq_create_mq, (int _iType), (_iType), -1, DY_NULL)
BURN_FWD(int, mq_destroy_mq, (long long _llMq), (_llMq), 0, DY_NULL)
BURN_FWD(int, mq_connection_create, (long long _llMq, const char* _szUri), (_llMq, _szUri), 0, DY_NULL)
BURN_FWD(int, mq_connection_create_ex, (long long _llMq, const char* _szUriJson), (_llMq, _szUriJson), 0, DY_NULL)
BURN_FWD(int, mq_connection_destroy, (long long _llMq), (_llMq), 0, DY_NULL)
BURN_FWD(long long, mq_producer_create, (long long _llMq, const char* _szCfgJson), (_llMq, _szCfgJson), -1, DY_NULL)
BURN_FWD(int, mq_producer_destroy, (long long _llProducer), (_llProducer), 0, DY_NULL)
BURN_FWD(long long, mq_consumer_create, (long long _llMq, const char* _szCfgJson), (_llMq, _szCfgJson), -1, DY_NULL)
BURN_FWD(int, mq_consumer_destroy, (long long _llConsumer), (_llConsumer), 0, DY_NULL)
BURN_FWD(int, mq_consumer_set_listener, (long long _llConsumer, mq_listener_fn _pfnListener, void* _pUser),
         (_llConsumer, _pfnListener, _pUser), 0, DY_NULL)
BURN_FWD(int, mq_producer_send, (long long _llProducer, mq_msg_t* _pMsg, void* _pUser), (_llProducer, _pMsg, _pUser), 0,
         DY_NULL)
BURN_FWD(int, mq_consumer_set_listener_ex, (long long _llConsumer, mq_listener_ex_fn _pfnListener, void* _pUser),
         (_llConsumer, _pfnListener, _pUser), 0, DY_NULL)
BURN_FWD(int, mq_consume_ack, (long long _llConsumer, long long _llTag), (_llConsumer, _llTag), 0, DY_NULL)
BURN_FWD(int, mq_opt_queue, (long long _llMq, const char* _szOptJson), (_llMq, _szOptJson), 0, DY_NULL)

#include "BurnApiTableEnd.h"
