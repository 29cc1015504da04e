// The table of every JOB the program serves.
#pragma once

#include <span>

#include "frame/dispatch.h"

namespace plazet {

[[nodiscard]] std::span<const JobRow> job_table();

}  // namespace plazet
