#pragma once

#error "<sys/epoll.h> is Linux-only; Darwin waits on descriptors with kqueue (<sys/event.h>)"
