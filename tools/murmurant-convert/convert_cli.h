#pragma once
// The converter started with arguments: one file converted with the given
// edits, its progress on standard output, any trouble on standard error.
#include <string>
#include <vector>

#include "convert_options.h"

namespace convert {

// The export the options ask for, with the trim measured against the
// input's own length (read with the project's decoder). Empty request and
// a message when the trim does not fit the input.
struct RequestResult {
  exporter::ExportRequest request;
  std::string error;
};
RequestResult BuildRequest(const ConvertOptions& options);

// `args` without the program name; the process's exit status.
int RunCommandLine(const std::vector<std::string>& args);

}  // namespace convert
