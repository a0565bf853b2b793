#include "settings/time_constants_frame.h"

#include "settings/parameter_strip.h"

namespace korvel {

TTimeConstantsFrame::TTimeConstantsFrame(const QString& name, int fieldWidth, int pitch, QWidget* parent)
    : QWidget(parent) {
    setObjectName(name);
    const auto f = BuildParameterStrip(this, {"X1Max", "X1Min", "X2Max", "X2Min", "DeltaT"}, fieldWidth, pitch);
    X1Max = f[0];
    X1Min = f[1];
    X2Max = f[2];
    X2Min = f[3];
    DeltaT = f[4];
}

}  // namespace korvel
