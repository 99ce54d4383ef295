#include "platform/cups_queue.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/errors.h"
#include "common/text.h"
#include "platform/cups_connection.h"

namespace corvel {
namespace {

struct DestFree {
  void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Dest = std::unique_ptr<cups_dest_t, DestFree>;

struct InfoFree {
  void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using Info = std::unique_ptr<cups_dinfo_t, InfoFree>;

struct IppFree {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppFree>;

QueueMedia FromSize(const cups_size_t& size) {
  QueueMedia media;
  media.name = size.media;
  media.widthMm = size.width / 100.0;
  media.heightMm = size.length / 100.0;
  media.leftMm = size.left / 100.0;
  media.rightMm = size.right / 100.0;
  media.topMm = size.top / 100.0;
  media.bottomMm = size.bottom / 100.0;
  return media;
}

// "60 x 40 mm", for people.
std::string MillimetreSize(const QueueJob& job) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f x %.0f mm", job.mediaWidthMm, job.mediaHeightMm);
  return text;
}

// The size and margins of a media-col value (hundredths of a millimetre); nothing
// without a size.
std::optional<QueueMedia> FromMediaCol(ipp_attribute_t* attribute) {
  if (!attribute || ippGetValueTag(attribute) != IPP_TAG_BEGIN_COLLECTION) return std::nullopt;
  ipp_t* collection = ippGetCollection(attribute, 0);
  const auto number = [](ipp_t* in, const char* name) {
    ipp_attribute_t* found = in ? ippFindAttribute(in, name, IPP_TAG_INTEGER) : nullptr;
    return found ? ippGetInteger(found, 0) / 100.0 : 0.0;
  };
  ipp_attribute_t* size = ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION);
  ipp_t* dimensions = size ? ippGetCollection(size, 0) : nullptr;
  QueueMedia media;
  media.widthMm = number(dimensions, "x-dimension");
  media.heightMm = number(dimensions, "y-dimension");
  if (media.widthMm <= 0 || media.heightMm <= 0) return std::nullopt;
  media.leftMm = number(collection, "media-left-margin");
  media.rightMm = number(collection, "media-right-margin");
  media.topMm = number(collection, "media-top-margin");
  media.bottomMm = number(collection, "media-bottom-margin");
  return media;
}

}  // namespace

std::string JobState::Describe() const {
  std::string text;
  switch (stage) {
    case Stage::Queued:
      text = "queued";
      break;
    case Stage::Held:
      text = "held";
      break;
    case Stage::Printing:
      text = "printing";
      break;
    case Stage::Printed:
      text = "printed";
      break;
    case Stage::Stopped:
      text = "stopped";
      break;
  }
  if (!reason.empty() && stage != Stage::Printed) text += ": " + reason;
  return text;
}

struct CupsQueue::Impl {
  std::string server;
  Http http;
  std::unique_ptr<Watchdog> dog;  // stopped before the connection closes
  Dest dest;
  Info info;
  std::optional<std::vector<std::string>> slots;
  std::optional<std::string> ppd;

  // Fails with the reason, naming the queue; a server that gave no answer in time is
  // told apart, so callers need not ask it again.
  [[noreturn]] void Fail(const std::string& queue, const std::string& what) const {
    Throw(what + " (printer " + queue + ", print server " + server + ")");
  }
  [[noreturn]] void Throw(const std::string& text) const {
    if (dog && dog->Fired()) throw PrintServerSilent(text);
    throw PrintError(text);
  }
  // Why the last exchange failed.
  std::string Why() const { return dog ? dog->Why() : LastError(); }
};

CupsQueue::CupsQueue(const std::string& name) : impl_(std::make_unique<Impl>()), name_(name) {
  std::string why;
  impl_->http = Connect(impl_->server, why);
  const std::string shownName = name.empty() ? std::string("the default printer") : name;
  if (!impl_->http) throw PrintError("cannot reach " + shownName + ": " + why);
  impl_->dog = std::make_unique<Watchdog>(impl_->http.get());
  const Watchdog::Exchange exchange(*impl_->dog);
  std::string queue = name;
  if (queue.empty()) {
    const char* fallback = cupsGetDefault2(impl_->http.get());
    if (!fallback) {
      if (cupsLastError() > IPP_STATUS_ERROR_NOT_FOUND) {
        impl_->Throw("cannot reach the default printer: the print server " + impl_->server +
                     " does not answer (" + impl_->Why() + ")");
      }
      throw PrintError("the print server " + impl_->server + " has no default printer");
    }
    queue = fallback;
  }
  if (!PrinterAttributes(queue)) {
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
      throw PrintError("the print server " + impl_->server + " has no printer " + queue);
    }
    impl_->Throw("cannot reach printer " + queue + ": the print server " + impl_->server +
                 " does not answer (" + impl_->Why() + ")");
  }
  // The destination is made here, not looked up: looking up may open connections of
  // libcups' own that no time limit covers. It names the queue's own URI: a destination
  // with only a device URI is taken for a discovered network printer, for which libcups
  // asks the server to make a temporary queue and sleeps until it is ready (a queue
  // named "deli-labels" went through a new "deli_labels", or never printed).
  const std::string uri = QueueUri(queue);
  impl_->dest.reset(cupsGetDestWithURI(queue.c_str(), uri.c_str()));
  if (!impl_->dest) impl_->Fail(queue, "cannot make a destination for printer " + queue);
  cups_dest_t& dest = *impl_->dest;
  dest.num_options =
      cupsAddOption("printer-uri-supported", uri.c_str(), dest.num_options, &dest.options);
  name_ = impl_->dest->name;
  const Watchdog::Exchange asking(*impl_->dog);
  impl_->info.reset(cupsCopyDestInfo(impl_->http.get(), impl_->dest.get()));
  if (!impl_->info) impl_->Fail(name_, "cannot read the printer's capabilities: " + impl_->Why());
}

CupsQueue::~CupsQueue() = default;

const std::string& CupsQueue::Ppd() {
  if (impl_->ppd) return *impl_->ppd;
  impl_->ppd.emplace();
  FILE* ppd = std::tmpfile();
  if (ppd) {
    const Watchdog::Exchange exchange(*impl_->dog);
    const std::string resource = "/printers/" + name_ + ".ppd";
    if (cupsGetFd(impl_->http.get(), resource.c_str(), fileno(ppd)) == HTTP_STATUS_OK) {
      std::rewind(ppd);
      char block[8192];
      for (std::size_t got; (got = std::fread(block, 1, sizeof block, ppd)) > 0;)
        impl_->ppd->append(block, got);
    }
    std::fclose(ppd);
  }
  return *impl_->ppd;
}

double CupsQueue::DefaultResolution() {
  // A driver's PPD states the head's resolution, and the print server fills in a guess
  // of its own for a PPD that states none: the PPD decides when there is one.
  if (const std::string& ppd = Ppd(); !ppd.empty()) return ParsePpdDefaultResolution(ppd);
  const Watchdog::Exchange exchange(*impl_->dog);
  ipp_attribute_t* resolution = cupsFindDestDefault(impl_->http.get(), impl_->dest.get(),
                                                    impl_->info.get(), "printer-resolution");
  if (resolution && ippGetValueTag(resolution) == IPP_TAG_RESOLUTION) {
    ipp_res_t units = IPP_RES_PER_INCH;
    int yres = 0;
    const int xres = ippGetResolution(resolution, 0, &yres, &units);
    if (xres > 0) return units == IPP_RES_PER_CM ? xres * 2.54 : xres;
  }
  return 0;
}

std::unique_ptr<ipp_t, void (*)(ipp_t*)> CupsQueue::PrinterAttributes(const std::string& queue) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               QueueUri(queue).c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  static const char* const wanted[] = {"printer-state", "printer-is-accepting-jobs",
                                       "printer-state-message"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                wanted);
  ipp_t* response = cupsDoRequest(impl_->http.get(), request, "/");
  if (response && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    ippDelete(response);
    response = nullptr;
  }
  return {response, &ippDelete};
}

QueueMedia CupsQueue::DefaultMedia() {
  // The driver's default page size, read before the exchange below (it is one of its own).
  std::optional<QueueMedia> driver = ParsePpdDefaultPageSize(Ppd());
  const Watchdog::Exchange exchange(*impl_->dog);
  http_t* http = impl_->http.get();
  std::optional<QueueMedia> chosen;
  ipp_attribute_t* named = cupsFindDestDefault(http, impl_->dest.get(), impl_->info.get(), "media");
  const char* name = named ? ippGetString(named, 0, nullptr) : nullptr;
  if (name && *name && std::strcmp(name, "unknown") != 0) {
    // libcups answers in a buffer of its own that its next call overwrites: the size is
    // copied at once.
    if (const pwg_media_t* pwg = pwgMediaForPWG(name); pwg && pwg->width > 0 && pwg->length > 0) {
      chosen.emplace();
      chosen->name = name;
      chosen->widthMm = pwg->width / 100.0;
      chosen->heightMm = pwg->length / 100.0;
    }
  }
  const std::optional<QueueMedia> collection =
      FromMediaCol(cupsFindDestDefault(http, impl_->dest.get(), impl_->info.get(), "media-col"));
  if (!chosen) {
    chosen = collection ? collection : driver;
    // The driver's own name for the size, when it is that size.
    if (collection && driver && driver->SameSize(collection->widthMm, collection->heightMm))
      chosen->name = driver->name;
  } else {
    // Margins from whichever report describes that very size.
    for (const std::optional<QueueMedia>& report : {collection, driver}) {
      if (report && report->SameSize(chosen->widthMm, chosen->heightMm)) {
        chosen->leftMm = report->leftMm;
        chosen->rightMm = report->rightMm;
        chosen->topMm = report->topMm;
        chosen->bottomMm = report->bottomMm;
        break;
      }
    }
  }
  if (!chosen || chosen->widthMm <= 0 || chosen->heightMm <= 0)
    impl_->Fail(name_, "printer " + name_ + " reports no default paper size");
  return *chosen;
}

bool CupsQueue::TakesCustomSizes() {
  if (const std::string& ppd = Ppd(); !ppd.empty()) return PpdTakesCustomSizes(ppd);
  const Watchdog::Exchange exchange(*impl_->dog);
  ipp_attribute_t* sizes =
      cupsFindDestSupported(impl_->http.get(), impl_->dest.get(), impl_->info.get(), "media");
  for (int i = 0; sizes && i < ippGetCount(sizes); ++i) {
    if (const char* size = ippGetString(sizes, i, nullptr);
        size && std::strncmp(size, "custom_min_", 11) == 0)
      return true;
  }
  return false;
}

std::optional<QueueMedia> CupsQueue::MediaOfSize(double widthMm, double heightMm) {
  for (const auto& [w, h] : {std::pair{widthMm, heightMm}, std::pair{heightMm, widthMm}}) {
    const Watchdog::Exchange exchange(*impl_->dog);
    cups_size_t size{};
    if (cupsGetDestMediaBySize(impl_->http.get(), impl_->dest.get(), impl_->info.get(),
                               static_cast<int>(std::lround(w * 100)),
                               static_cast<int>(std::lround(h * 100)), CUPS_MEDIA_FLAGS_DEFAULT,
                               &size) &&
        std::abs(size.width / 100.0 - w) <= 1 && std::abs(size.length / 100.0 - h) <= 1) {
      return FromSize(size);
    }
  }
  return std::nullopt;
}

const std::vector<std::string>& CupsQueue::InputSlots() {
  if (impl_->slots) return *impl_->slots;
  impl_->slots.emplace();
  // The driver's own tray names, from the queue's PPD.
  *impl_->slots = ParsePpdInputSlots(Ppd());
  if (impl_->slots->empty()) {
    const Watchdog::Exchange exchange(*impl_->dog);
    // A queue without a PPD (driverless): its IPP media sources.
    ipp_attribute_t* sources = cupsFindDestSupported(impl_->http.get(), impl_->dest.get(),
                                                     impl_->info.get(), "media-source");
    for (int i = 0; sources && i < ippGetCount(sources); ++i) {
      if (const char* source = ippGetString(sources, i, nullptr);
          source && IsPlainSlotName(source)) {
        impl_->slots->emplace_back(source);
      }
    }
  }
  return *impl_->slots;
}

Submitted CupsQueue::Submit(const QueueJob& job, const std::map<int, std::string>& explicitSlots) {
  http_t* http = impl_->http.get();
  Submitted submitted;
  // The queue's state now: a queue refusing jobs is named, not fed; a paused one holds
  // the job until it is resumed.
  std::optional<Watchdog::Exchange> exchange(std::in_place, *impl_->dog);
  if (const auto state = PrinterAttributes(name_)) {
    const auto text = [&](const char* attribute) -> std::string {
      ipp_attribute_t* found = ippFindAttribute(state.get(), attribute, IPP_TAG_ZERO);
      const char* value = found ? ippGetString(found, 0, nullptr) : nullptr;
      return value ? value : "";
    };
    const std::string message = text("printer-state-message");
    const std::string because = message.empty() ? std::string() : ": " + message;
    ipp_attribute_t* accepting =
        ippFindAttribute(state.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    if (accepting && !ippGetBoolean(accepting, 0)) {
      impl_->Fail(name_, "printer " + name_ + " is not accepting jobs" + because);
    }
    ipp_attribute_t* printerState = ippFindAttribute(state.get(), "printer-state", IPP_TAG_ENUM);
    if (printerState && ippGetInteger(printerState, 0) == IPP_PSTATE_STOPPED)
      submitted.held = "printer " + name_ + " is paused" + because;
  } else {
    impl_->Fail(name_, "printer " + name_ + " does not answer: " + impl_->Why());
  }

  FILE* file = std::fopen(job.pdfFile.c_str(), "rb");
  if (!file) impl_->Fail(name_, "cannot read the document " + job.pdfFile);
  const std::unique_ptr<FILE, int (*)(FILE*)> closer(file, &std::fclose);

  std::string media = job.media;
  if (media.empty() && job.mediaWidthMm > 0 && job.mediaHeightMm > 0) {
    if (const auto found = MediaOfSize(job.mediaWidthMm, job.mediaHeightMm)) {
      media = found->name;
    } else if (TakesCustomSizes()) {
      char custom[64];
      std::snprintf(custom, sizeof custom, "Custom.%.2fx%.2fmm", job.mediaWidthMm,
                    job.mediaHeightMm);
      media = custom;
    } else {
      // The server would print it on the queue's default paper instead, shrunk or
      // centred.
      impl_->Fail(name_, "printer " + name_ + " has no " + MillimetreSize(job) +
                             " paper and takes no custom size");
    }
  }
  cups_option_t* options = nullptr;
  int count = 0;
  if (!media.empty()) count = cupsAddOption("media", media.c_str(), count, &options);
  // The document is laid out on the paper it asks for: nothing may be fitted, turned or
  // centred.
  count = cupsAddOption("print-scaling", "none", count, &options);
  if (job.copies > 1) count = cupsAddIntegerOption("copies", job.copies, count, &options);
  const auto entry = explicitSlots.find(job.paperBin);
  const bool asksForTray = entry != explicitSlots.end() ? !entry->second.empty()
                                                        : !CommonSlotNames(job.paperBin).empty();
  if (asksForTray) {
    const std::string slot = ChooseInputSlot(job.paperBin, explicitSlots, InputSlots());
    if (!slot.empty()) {
      const bool ipp = std::islower(static_cast<unsigned char>(slot.front())) &&
                       slot.find('-') != std::string::npos;
      count = cupsAddOption(ipp ? "media-source" : "InputSlot", slot.c_str(), count, &options);
    }
  }
  const struct OptionsFree {
    int& count;
    cups_option_t*& options;
    ~OptionsFree() { cupsFreeOptions(count, options); }
  } optionsFree{count, options};

  int jobId = 0;
  const char* title = job.title.empty() ? "document" : job.title.c_str();
  exchange.emplace(*impl_->dog);
  if (cupsCreateDestJob(http, impl_->dest.get(), impl_->info.get(), &jobId, title, count, options) >
          IPP_STATUS_OK_EVENTS_COMPLETE ||
      jobId <= 0) {
    impl_->Fail(name_, "printer " + name_ + " refused the job: " + impl_->Why());
  }
  exchange.emplace(*impl_->dog);
  if (cupsStartDestDocument(http, impl_->dest.get(), impl_->info.get(), jobId, title,
                            CUPS_FORMAT_PDF, 0, nullptr, 1) != HTTP_STATUS_CONTINUE) {
    impl_->Fail(name_, "cannot send the document to printer " + name_ + ": " + impl_->Why());
  }
  char block[65536];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
    exchange.emplace(*impl_->dog);
    if (cupsWriteRequestData(http, block, got) != HTTP_STATUS_CONTINUE) {
      impl_->Fail(name_, "cannot send the document to printer " + name_ + ": " + impl_->Why());
    }
  }
  exchange.emplace(*impl_->dog);
  if (cupsFinishDestDocument(http, impl_->dest.get(), impl_->info.get()) >
      IPP_STATUS_OK_EVENTS_COMPLETE) {
    impl_->Fail(name_, "printer " + name_ + " did not take the document: " + impl_->Why());
  }
  submitted.jobId = jobId;
  return submitted;
}

JobState CupsQueue::Query(int jobId) {
  char uri[1024];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", jobId);
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  static const char* const wanted[] = {"job-state", "job-state-reasons",
                                       "job-printer-state-message"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                wanted);
  const Watchdog::Exchange exchange(*impl_->dog);
  const Ipp response{cupsDoRequest(impl_->http.get(), request, "/")};
  if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    impl_->Fail(name_, "cannot ask about job " + std::to_string(jobId) + ": " + impl_->Why());
  }
  JobState state;
  ipp_attribute_t* stateAttr = ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM);
  const int value = stateAttr ? ippGetInteger(stateAttr, 0) : IPP_JSTATE_PENDING;
  std::string reasons;
  if (ipp_attribute_t* found =
          ippFindAttribute(response.get(), "job-state-reasons", IPP_TAG_KEYWORD)) {
    for (int i = 0; i < ippGetCount(found); ++i) {
      const char* reason = ippGetString(found, i, nullptr);
      if (!reason || std::strcmp(reason, "none") == 0 || std::strcmp(reason, "job-printing") == 0 ||
          std::strcmp(reason, "job-incoming") == 0 ||
          std::strcmp(reason, "job-completed-successfully") == 0) {
        continue;
      }
      reasons += (reasons.empty() ? "" : ", ") + std::string(reason);
    }
  }
  if (ipp_attribute_t* message =
          ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(message, 0, nullptr); text && *text) {
      state.reason = text;
    }
  }
  if (state.reason.empty()) state.reason = reasons;
  switch (value) {
    case IPP_JSTATE_HELD:
      state.stage = JobState::Stage::Held;
      break;
    case IPP_JSTATE_PROCESSING:
      state.stage = JobState::Stage::Printing;
      break;
    case IPP_JSTATE_COMPLETED:
      state.stage = JobState::Stage::Printed;
      break;
    case IPP_JSTATE_STOPPED:
    case IPP_JSTATE_CANCELED:
    case IPP_JSTATE_ABORTED:
      state.stage = JobState::Stage::Stopped;
      if (state.reason.empty())
        state.reason = value == IPP_JSTATE_CANCELED ? "cancelled" : "aborted";
      break;
    default:
      state.stage = JobState::Stage::Queued;
  }
  if (state.stage == JobState::Stage::Queued) {
    // A job waiting on a paused queue is held until the queue is resumed.
    if (const auto printer = PrinterAttributes(name_)) {
      ipp_attribute_t* printerState =
          ippFindAttribute(printer.get(), "printer-state", IPP_TAG_ENUM);
      if (printerState && ippGetInteger(printerState, 0) == IPP_PSTATE_STOPPED) {
        state.stage = JobState::Stage::Held;
        state.reason = "printer " + name_ + " is paused";
      }
    }
  }
  return state;
}

}  // namespace corvel
