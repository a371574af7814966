// Process-wide registration pointer: the record plugMain answers from.
#include "FFGLPluginInfo.h"

CFFGLPluginInfo* g_CurrPluginInfo = nullptr;
