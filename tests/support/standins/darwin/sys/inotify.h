#pragma once

#error "<sys/inotify.h> is Linux-only; Darwin watches files with kqueue (<sys/event.h>)"
