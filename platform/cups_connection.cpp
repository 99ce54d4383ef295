#include "platform/cups_connection.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace corvel {
namespace {

// Returning 0 ends a wait that has lasted kPrintServerTimeout: the call fails.
int EndWait(http_t*, void*) {
  return 0;
}

// The error of one connection attempt to `address`, waiting at most `ms`.
int ConnectError(const http_addr_t& address, int ms) {
  const int fd = ::socket(httpAddrFamily(const_cast<http_addr_t*>(&address)),
                          SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  int error = 0;
  if (::connect(fd, &address.addr, static_cast<socklen_t>(httpAddrLength(&address))) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      socklen_t size = sizeof error;
      if (::poll(&wait, 1, ms) <= 0)
        error = ETIMEDOUT;
      else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        error = errno;
    }
  }
  ::close(fd);
  return error;
}

// Why nothing could be connected to at `server`: libcups keeps no usable reason for a
// failed connection ("Host is down" for a refused one), so one attempt of our own tells.
std::string ConnectFailure(const std::string& server) {
  http_addrlist_t* addresses =
      httpAddrGetList(server.c_str(), AF_UNSPEC, std::to_string(ippPort()).c_str());
  if (!addresses) return "the name " + server + " is not known";
  int error = 0;
  for (http_addrlist_t* at = addresses; at && error != ECONNREFUSED; at = at->next)
    error = ConnectError(at->addr, static_cast<int>(kPrintServerTimeout.count()));
  httpAddrFreeList(addresses);
  switch (error) {
    case ECONNREFUSED:
      return "connection refused";
    case ENOENT:
      return "nothing listens there";
    case ETIMEDOUT:
      return NoAnswerText();
    case 0:
      return "the connection was closed";
    default:
      return std::strerror(error);
  }
}

}  // namespace

std::string NoAnswerText() {
  return "no answer within " +
         std::to_string(
             std::chrono::duration_cast<std::chrono::seconds>(kPrintServerTimeout).count()) +
         " s";
}

std::string LastError() {
  const char* text = cupsLastErrorString();
  // A connection that failed leaves the errno of its last system call, which may say
  // "Success" or name an unrelated error: the status is the reason then.
  if (!text || !*text || std::strcmp(text, "Success") == 0 ||
      std::strcmp(text, "Host is down") == 0 || std::strcmp(text, "Bad file descriptor") == 0)
    return cupsLastError() == IPP_STATUS_OK ? "the connection was closed"
                                            : ippErrorString(cupsLastError());
  return text;
}

namespace {

void EndTheProgram() {
  std::fprintf(stderr, "%s: the print server did not answer (%s); giving up\n",
               program_invocation_short_name, NoAnswerText().c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

std::atomic<PrintServerHangHandler> hangHandler{&EndTheProgram};

}  // namespace

void SetPrintServerHangHandler(PrintServerHangHandler handler) {
  hangHandler = handler ? handler : &EndTheProgram;
}

void PrintServerHung() {
  hangHandler.load()();
}

bool PrintServerInstalled() {
  if (const char* named = std::getenv("CUPS_SERVER"); named && *named) return true;
  const std::string server = ServerName();
  if (server != "localhost" && server != "/run/cups/cups.sock" &&
      server != "/var/run/cups/cups.sock")
    return true;  // client.conf names one
  return ::access("/usr/sbin/cupsd", X_OK) == 0;
}

std::string ServerName() {
  cupsSetServer(nullptr);
  const char* server = cupsServer();
  return server ? server : "localhost";
}

Http Connect(std::string& server, std::string& why) {
  server = ServerName();
  http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              static_cast<int>(kPrintServerTimeout.count()), nullptr);
  if (!http) {
    why = "no print server answers at " + server + " (" + ConnectFailure(server) + ")";
    return nullptr;
  }
  httpSetTimeout(http, std::chrono::duration<double>(kPrintServerTimeout).count(), EndWait,
                 nullptr);
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
  // The server's own queues and classes, asked for directly: libcups' list of
  // destinations would also browse the network for printers, with waits of its own.
  std::vector<std::string> queues;
  std::string named;
  ipp_status_t status = IPP_STATUS_OK;
  {
    Watchdog dog(http.get());
    for (const ipp_op_t op : {IPP_OP_CUPS_GET_PRINTERS, IPP_OP_CUPS_GET_CLASSES}) {
      const Watchdog::Exchange exchange(dog);
      ipp_t* request = ippNewRequest(op);
      ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                   "printer-name");
      ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                   cupsUser());
      ipp_t* response = cupsDoRequest(http.get(), request, "/");
      if (cupsLastError() > IPP_STATUS_ERROR_NOT_FOUND) status = cupsLastError();
      for (ipp_attribute_t* name = ippFindAttribute(response, "printer-name", IPP_TAG_NAME); name;
           name = ippFindNextAttribute(response, "printer-name", IPP_TAG_NAME)) {
        if (const char* text = ippGetString(name, 0, nullptr); text && *text)
          queues.emplace_back(text);
      }
      ippDelete(response);
    }
    if (!queues.empty()) {
      const Watchdog::Exchange exchange(dog);
      if (const char* fallback = cupsGetDefault2(http.get())) named = fallback;
    }
  }
  if (names) *names = queues;
  if (!queues.empty()) {
    // "" stands for the default queue; without one, the first queue stands in for it.
    const bool hasDefault = std::find(queues.begin(), queues.end(), named) != queues.end();
    if (defaultQueue) *defaultQueue = hasDefault ? "" : queues.front();
    if (defaultName) *defaultName = hasDefault ? named : queues.front();
    return PrintServerState::HasPrinters;
  }
  // No printers is answered with "not found"; a wait that ended is a server error.
  return status > IPP_STATUS_ERROR_NOT_FOUND ? PrintServerState::Silent
                                             : PrintServerState::NoPrinters;
}

}  // namespace corvel
