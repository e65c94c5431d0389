#pragma once
// The run report as a JSON document, for scripts: what each check found and
// did, with its counts. Texts and paths are UTF-8, paths spelt as the log
// spells them. The shape is described in the README.

#include "reconcile/RunReport.h"

#include <string>

namespace app {

std::string reportJson(const reconcile::RunReport &report);

} // namespace app
