// `ffglhost sheet PLUGIN.so ...`: a parameter sheet, one PNG picture that shows what each
// parameter does. A row per parameter (all that take a host value, or those --param names, in
// the plug-in's order), a column per host value from 0 to 1 in --steps equal steps; every cell
// is rendered by a fresh instance after --frames frames with that one parameter set and every
// other at its default, and is labelled with the plug-in's own display text (code 7) for the
// value. Every input is checked before anything renders. Main thread; creates and destroys its
// own GL context.
#pragma once

#include "Options.h"
#include "Status.h"

#include <string>
#include <vector>

namespace ffglhost {

struct PluginDescription;
struct ParameterInfo;

// On success `report` holds the summary for standard output. The progress bar, if any, goes to
// standard error while rendering.
Status runSheet(const Options& options, std::string& report);

// The rows of the sheet: the parameters that take a host value, or those `names` names (each
// once, in the plug-in's order). Bad input for a name the plug-in does not have or a parameter
// that takes no 0..1 value; also when nothing is left to show. Points into `d`.
Status sheetRows(const PluginDescription& d, const std::vector<std::string>& names,
                 std::vector<const ParameterInfo*>& rows);

// The default output for a plug-in name: "out/<name>-sheet.png".
std::string defaultSheetPath(const std::string& pluginName);

} // namespace ffglhost
