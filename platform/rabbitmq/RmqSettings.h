// The JSON and URI texts of the queue library's entries, read into plain records.
// Pure functions; any thread.
#pragma once

#include <string>

struct RmqBrokerSettings
{
    std::string strHost;
    int iPort = 5672;
    std::string strUser;
    std::string strPassword;
    std::string strVhost = "/";
    bool blReconnect = false;
    int iTimeoutMs = 5000;  // bound of every network wait
};

struct RmqQueueOpt
{
    std::string strOp;  // "declare", "purge" or "delete"
    std::string strQueue;
    bool blDurable = true;
    std::string strExchange;  // declare: bind to it when set
    std::string strRoutingKey;
};

// Each returns false with a short reason in _strError when the text is unusable.
bool ParseBrokerJson(const char* _szJson, RmqBrokerSettings& _settings, std::string& _strError);
bool ParseBrokerUri(const char* _szUri, RmqBrokerSettings& _settings, std::string& _strError);
bool ParseProducerJson(const char* _szJson, std::string& _strExchange, std::string& _strRoutingKey,
                       std::string& _strError);
bool ParseConsumerJson(const char* _szJson, std::string& _strQueue, std::string& _strError);
bool ParseQueueOptJson(const char* _szJson, RmqQueueOpt& _opt, std::string& _strError);
