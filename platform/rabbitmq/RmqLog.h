// The library's few diagnostic lines, on standard error (it has no log of its own).
#pragma once

#include <cstdio>

#define RMQ_LOG(fmt, ...) std::fprintf(stderr, "win32_rabbitmq: " fmt "\n", ##__VA_ARGS__)
