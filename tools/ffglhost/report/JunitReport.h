// A validation's report (RunReport.h) as JUnit XML (validate --junit), the form CI servers read:
// <testsuites> with one <testsuite> per plug-in (package "ffglhost.validate") and one <testcase>
// per check, named by the check's ID. A FAIL is a <failure> with the check's message (of type
// "crash", "hang" or "exit" when the plug-in took its worker down there, else "FAIL"); a SKIP is
// <skipped>; a WARN is a property "warning" of its suite and a line of the suite's <system-out>
// (which holds the plug-in's whole report), and with --strict a <failure> of type "WARN" besides.
// A plug-in that could not be validated is a suite of one test case "load" with an <error>. It
// keeps to the JUnit schema of the Apache Ant JUnit task (tests/host/JUnit.xsd).
//
// Written with TinyXML. Any thread.
#pragma once

#include "Status.h"
#include "report/RunReport.h"

#include <string>

namespace ffglhost {

// The document, ending in a newline. Texts are made valid XML: bytes that are not UTF-8 and
// control characters (but tab and line end) become '?'.
Status junitReport(const RunReport& report, std::string& text);

// `text` with what XML 1.0 cannot hold replaced by '?' (see above).
std::string xmlSafe(const std::string& text);

} // namespace ffglhost
