// The control object: nothing but the pool's process-local mutex.
#pragma once

#include "revevidozi.h"

#include <pthread.h>

struct wwn_pool_ctrl {
    pthread_mutex_t mutex;
};

static_assert(sizeof(wwn_pool_ctrl) == sizeof(pthread_mutex_t));
