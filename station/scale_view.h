#pragma once
// What the scale link needs of the station window: the weight box, the "Autoprint"
// and "Scales Connected" boxes, label printing and a place to say what the scale is
// doing. The main window implements it; tests can use a small stand-in.
#include <QString>

namespace corvel {

class ScaleView {
 public:
  virtual ~ScaleView() = default;

  virtual QString WeightText() const = 0;               // Text4
  virtual void SetWeightText(const QString& text) = 0;  // Text4
  virtual bool AutoprintChecked() const = 0;            // Check2 "Autoprint"
  virtual bool ScalesConnectedChecked() const = 0;      // Check3 "Scales Connected"
  virtual void SetScalesConnected(bool checked) = 0;    // Check3, without a click event
  // Prints one label from the window as it stands; throws corvel::Failure when the
  // label could not be printed (nothing is shown to the operator by this call).
  virtual void PrintWeighedLabel() = 0;
  // One line for the operator about the scale (device, error); empty clears it.
  virtual void SetScaleStatus(const QString& text) = 0;
};

}  // namespace corvel
