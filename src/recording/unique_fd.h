#pragma once
// The recording's files use the platform's descriptor owner.
#include "platform/unique_fd.h"

namespace recording {
using platform::UniqueFd;
}  // namespace recording
