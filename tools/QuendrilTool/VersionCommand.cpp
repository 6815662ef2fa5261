#include "ToolCommand.h"

#include <cstdio>

static const ToolCommand::Registration version{"version", "print the core library's version",
                                               [](const QStringList&) {
                                                   std::printf("%s\n", QUENDRIL_VERSION);
                                                   return 0;
                                               }};
