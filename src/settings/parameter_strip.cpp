#include "settings/parameter_strip.h"

#include <QWidget>
#include <stdexcept>
#include <string>

#include "settings/parameter_fields.h"
#include "widgets/numeric_field.h"

namespace korvel {

std::vector<TNumericField*> BuildParameterStrip(QWidget* frame, std::initializer_list<const char*> fields,
                                                int fieldWidth, int pitch) {
    std::vector<TNumericField*> built;
    int x = 0;
    for (const char* field : fields) {
        const std::string control = frame->objectName().toStdString() + '.' + field;
        const TNvmParameter* p = FindNvmParameter(control);
        if (p == nullptr) throw std::logic_error("no parameter " + control);
        built.push_back(MakeParameterField(frame, *p, QRect(x, 0, fieldWidth, 20)));
        x += pitch;
    }
    frame->setFixedSize(x - pitch + fieldWidth, 20);
    return built;
}

}  // namespace korvel
