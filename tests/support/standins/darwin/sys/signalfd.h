#pragma once

#error "<sys/signalfd.h> is Linux-only; Darwin reads signals with kqueue (<sys/event.h>)"
