#include "runner/jobs.h"

namespace corvel {

// Placeholder until shelf cards are built: ends the run without printing.
void PrintShelfCards(RunContext&) {
  throw EndRun{3, "shelf cards are not available yet"};
}

}  // namespace corvel
