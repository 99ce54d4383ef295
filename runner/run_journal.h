#pragma once
// One journal row per run of the print runner: the job selector, how many documents and
// pages it printed, where, and how the run ended. The counts come from a surface that
// passes every drawing through to the real one and counts what was ended.
#include <memory>
#include <string>

#include "common/print_surface.h"
#include "common/settings_store.h"
#include "runner/dispatch.h"

namespace corvel {

struct RunCounts {
  long documents = 0;  // documents ended: a roll label, a list page run, a sheet run
  long pages = 0;      // pages of those documents
  std::string printer;
};

// `make` with every surface it makes counted into `counts` (which must outlive them).
SurfaceFactory CountingSurfaces(SurfaceFactory make, RunCounts& counts);

// Writes the run's row, waiting at most the journal's bound; empty, or what went wrong.
std::string JournalRun(const SettingsStore& settings, const RunCounts& counts,
                       const RunOutcome& outcome);

}  // namespace corvel
