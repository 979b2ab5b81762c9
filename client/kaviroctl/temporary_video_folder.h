// The engine's recorder writes under the configured video folder; for one
// run of record or play that is --out, in a settings store of our own (under
// $TMPDIR) so that the user's is untouched. The store goes with this object,
// also when a signal ends the run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "client/kaviroctl/ctl_report.h"

namespace kaviroctl {

class TemporaryVideoFolder {
 public:
  explicit TemporaryVideoFolder(const std::string& folder);
  ~TemporaryVideoFolder();
  TemporaryVideoFolder(const TemporaryVideoFolder&) = delete;
  TemporaryVideoFolder& operator=(const TemporaryVideoFolder&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string dir_;
  std::string previous_;
  bool ok_ = false;
};

struct RecordedFiles {
  size_t count = 0;
  uintmax_t bytes = 0;
};

// Reports every file under `folder` with its size, in name order (in JSON
// under "files").
RecordedFiles ListRecordedFiles(const std::string& folder, CtlReport& report);

}  // namespace kaviroctl
