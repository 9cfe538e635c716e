#pragma once

#error "<sys/eventfd.h> is Linux-only; on Darwin use a pipe"
