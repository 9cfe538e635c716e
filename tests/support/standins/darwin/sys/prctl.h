#pragma once

#error "<sys/prctl.h> is Linux-only; Darwin has no counterpart"
