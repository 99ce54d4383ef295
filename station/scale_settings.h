#pragma once
// Which scale the station reads and how, from section "Zebra":
//   ScaleProtocol        enq (default), lines or hid
//   ScaleDevice          the device, when not the one "COMPORT" names (a by-id path,
//                        /dev/hidrawN)
//   ScaleBaud, ScaleDataBits, ScaleParity (N, E, O), ScaleStopBits   default 9600 8N1
//   ScaleStableMarker, ScaleOverloadMarker   for lines; alternatives separated by "|"
//   ScaleRequest         for lines: sent before each poll (\r, \n, \xNN escapes)
// A value that does not read leaves the default in its place and adds a problem naming
// the key and the value.
#include <memory>
#include <string>
#include <vector>

#include "common/settings_store.h"
#include "station/scale/scale_protocol.h"

namespace corvel {

struct ScaleChoice {
  std::unique_ptr<ScaleProtocol> protocol;  // its line settings applied
  std::string device;                       // empty: the device of the "COMPORT" port
  std::vector<std::string> problems;        // one line per setting that did not read
};

// Throws what the store throws when it cannot be read.
ScaleChoice ReadScaleChoice(const SettingsStore& settings);

}  // namespace corvel
