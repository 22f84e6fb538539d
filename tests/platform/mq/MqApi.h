// The queue library's entries resolved from win32_mq.dll with QLibrary, the way
// the module loads it. Test thread only.
#pragma once

#include "MqTypes.h"

#include <QCoreApplication>
#include <QLibrary>

struct MqApi
{
    int (*set_lib)(int, const char*) = nullptr;
    long long (*create_mq)(int) = nullptr;
    int (*destroy_mq)(long long) = nullptr;
    int (*connection_create)(long long, const char*) = nullptr;
    int (*connection_create_ex)(long long, const char*) = nullptr;
    int (*connection_destroy)(long long) = nullptr;
    long long (*producer_create)(long long, const char*) = nullptr;
    int (*producer_destroy)(long long) = nullptr;
    int (*producer_send)(long long, mq_msg_t*, void*) = nullptr;
    long long (*consumer_create)(long long, const char*) = nullptr;
    int (*consumer_destroy)(long long) = nullptr;
    int (*consumer_set_listener)(long long, mq_listener_fn, void*) = nullptr;
    int (*consumer_set_listener_ex)(long long, mq_listener_ex_fn, void*) = nullptr;
    int (*consume_ack)(long long, long long) = nullptr;
    int (*opt_queue)(long long, const char*) = nullptr;

    // Loads the front; false names the problem in _qstrError.
    bool Load(QString& _qstrError)
    {
        m_qlib.setFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/win32_mq.dll"));
        if (!m_qlib.load()) {
            _qstrError = m_qlib.errorString();
            return false;
        }
        return Resolve(set_lib, "mq_set_lib", _qstrError) && Resolve(create_mq, "mq_create_mq", _qstrError) &&
               Resolve(destroy_mq, "mq_destroy_mq", _qstrError) &&
               Resolve(connection_create, "mq_connection_create", _qstrError) &&
               Resolve(connection_create_ex, "mq_connection_create_ex", _qstrError) &&
               Resolve(connection_destroy, "mq_connection_destroy", _qstrError) &&
               Resolve(producer_create, "mq_producer_create", _qstrError) &&
               Resolve(producer_destroy, "mq_producer_destroy", _qstrError) &&
               Resolve(producer_send, "mq_producer_send", _qstrError) &&
               Resolve(consumer_create, "mq_consumer_create", _qstrError) &&
               Resolve(consumer_destroy, "mq_consumer_destroy", _qstrError) &&
               Resolve(consumer_set_listener, "mq_consumer_set_listener", _qstrError) &&
               Resolve(consumer_set_listener_ex, "mq_consumer_set_listener_ex", _qstrError) &&
               Resolve(consume_ack, "mq_consume_ack", _qstrError) && Resolve(opt_queue, "mq_opt_queue", _qstrError);
    }

    // Publishes a text the way the module does (length without the terminator).
    int Send(long long _llProducer, const QByteArray& _qbaText)
    {
        QByteArray qbaCopy = _qbaText;  // NUL-terminated, owned here
        mq_msg_t msg{0, 0, qbaCopy.size(), qbaCopy.data()};
        return producer_send(_llProducer, &msg, nullptr);
    }

private:
    template <typename Fn>
    bool Resolve(Fn& _pfn, const char* _szName, QString& _qstrError)
    {
        _pfn = reinterpret_cast<Fn>(m_qlib.resolve(_szName));
        if (!_pfn)
            _qstrError = QStringLiteral("missing entry ") + QLatin1String(_szName);
        return _pfn != nullptr;
    }

    QLibrary m_qlib;
};
