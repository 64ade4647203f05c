// Public surface of the platform layer: the kernel-object stand-ins the rest of
// the library is written against. Each header below is small; this one only
// gathers them.
#pragma once

#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/Module.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "platform/Wait.h"
