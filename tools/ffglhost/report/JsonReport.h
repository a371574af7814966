// A run's report (RunReport.h) as the JSON document of --report: format ffglhost-report/1,
// described in docs/report-format.md and by the JSON Schema docs/ffglhost-report.schema.json.
// Written with nlohmann/json, which this file alone includes. Any thread.
#pragma once

#include "Status.h"
#include "report/RunReport.h"

#include <string>

namespace ffglhost {

// The document, indented, ending in a newline. Texts that are not UTF-8 have their bad bytes
// replaced (U+FFFD). Fails only where the library does (out of memory).
Status jsonReport(const RunReport& report, std::string& text);

} // namespace ffglhost
