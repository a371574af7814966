// Status messages and the names of the FFGL function codes (see Status.h).
#include "Status.h"


namespace ffglhost {

Status Status::badInput(const std::string& what) { return Status(kExitBadInput, "ffglhost: error: " + what); }

Status Status::failed(const std::string& what) { return Status(kExitFailed, "ffglhost: error: " + what); }

Status Status::callFailed(uint32_t functionCode, const std::string& what)
{
    return Status(kExitFailed, "ffglhost: plug-in call failed: code " + std::to_string(functionCode) + " (" +
                                   functionName(functionCode) + ") " + what);
}

const char* functionName(uint32_t functionCode)
{
    switch (functionCode) {
    case 0: return "get info";
    case 1: return "initialise";
    case 2: return "de-initialise";
    case 3: return "process frame";
    case 4: return "get parameter count";
    case 5: return "get parameter name";
    case 6: return "get parameter default";
    case 7: return "get parameter display";
    case 8: return "set parameter";
    case 9: return "get parameter";
    case 10: return "get plug-in capability";
    case 11: return "instantiate";
    case 12: return "de-instantiate";
    case 13: return "get extended info";
    case 14: return "process frame copy";
    case 15: return "get parameter type";
    case 16: return "get input status";
    case 17: return "process OpenGL";
    case 18: return "instantiate GL";
    case 19: return "de-instantiate GL";
    case 20: return "set time";
    case 21: return "connect";
    case 22: return "disconnect";
    case 23: return "resize";
    case 31: return "get parameter element count";
    case 32: return "get parameter usage";
    case 33: return "get plug-in short name";
    default: return "unknown";
    }
}

} // namespace ffglhost
