#include "app/general_error.h"

#include <stdexcept>
#include <string>

namespace korvel {

void ShowGeneralError(UiHost& host, std::exception_ptr error) {
    std::string text = "Unknown error";
    try {
        if (error) std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    host.MessageBox(TMsgDlgType::mtError, text, TMsgDlgButtons::mbOK);
}

}  // namespace korvel
