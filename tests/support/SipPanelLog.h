#ifndef TALLYARD_TESTS_SUPPORT_SIPPANELLOG_H
#define TALLYARD_TESTS_SUPPORT_SIPPANELLOG_H

// The input panel as tests see it: every call is recorded from the start of
// the test program, and queries can be made to fail.

#include "platform/SipPanel.h"

#include <vector>

namespace SipPanel
{
/// Every call since the last Reset, failed ones included, in order.
const std::vector<Call>& Calls();
/// Lowers the panel, clears the flags, the call log and pending failures.
void Reset();
/// Makes the next `count` well-formed SPI_GETSIPINFO queries fail.
void FailQueries(int count);
}

#endif
