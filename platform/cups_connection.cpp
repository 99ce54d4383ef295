#include "platform/cups_connection.h"

namespace corvel {
namespace {

// Returning 0 ends a wait that has lasted kPrintServerTimeoutMs: the call fails.
int EndWait(http_t*, void*) {
  return 0;
}

}  // namespace

std::string LastError() {
  const char* text = cupsLastErrorString();
  return text && *text ? text : "no answer";
}

std::string ServerName() {
  cupsSetServer(nullptr);
  const char* server = cupsServer();
  return server ? server : "localhost";
}

Http Connect(std::string& server, std::string& why) {
  server = ServerName();
  http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kPrintServerTimeoutMs, nullptr);
  if (!http) {
    why = "no print server answers at " + server + " (" + LastError() + ")";
    return nullptr;
  }
  httpSetTimeout(http, kPrintServerTimeoutMs / 1000.0, EndWait, nullptr);
  return Http(http);
}

std::string QueueUri(const std::string& queue) {
  char uri[1024];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/printers/%s", queue.c_str());
  return uri;
}

PrintServerState ProbePrintServer(std::string* defaultQueue, std::string* defaultName,
                                  std::vector<std::string>* names) {
  std::string server, why;
  const Http http = Connect(server, why);
  if (!http) return PrintServerState::Absent;
  cups_dest_t* dests = nullptr;
  int count = 0;
  ipp_status_t status = IPP_STATUS_OK;
  {
    Watchdog dog(http.get());
    const Watchdog::Exchange exchange(dog);
    count = cupsGetDests2(http.get(), &dests);
    status = cupsLastError();
  }
  // "" stands for the default queue; without one, the first queue stands in for it.
  std::string chosen = count > 0 ? dests[0].name : "";
  std::string named = chosen;
  for (int i = 0; i < count; ++i) {
    if (names) names->emplace_back(dests[i].name);
    if (dests[i].is_default) {
      chosen.clear();
      named = dests[i].name;
    }
  }
  cupsFreeDests(count, dests);
  if (count > 0) {
    if (defaultQueue) *defaultQueue = chosen;
    if (defaultName) *defaultName = named;
    return PrintServerState::HasPrinters;
  }
  // No printers is answered with "not found"; a wait that ended is a server error.
  return status > IPP_STATUS_ERROR_NOT_FOUND ? PrintServerState::Silent
                                             : PrintServerState::NoPrinters;
}

}  // namespace corvel
