#include "settings/stook_lijn_frame.h"

#include "settings/parameter_fields.h"
#include "settings/parameter_strip.h"

namespace korvel {

TStookLijnFrame::TStookLijnFrame(const QString& name, int fieldWidth, int pitch, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    const auto f = BuildParameterStrip(this, {"XMin", "YMin", "XMax", "YMax"}, fieldWidth, pitch);
    XMin = f[0];
    YMin = f[1];
    XMax = f[2];
    YMax = f[3];
}

QString TStookLijnFrame::Caption() const {
    return Text(FindNvmParameter(objectName().toStdString() + ".XMin")->Caption);
}

}  // namespace korvel
