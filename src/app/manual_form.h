// The manual an engineer reads on site: Dutch HTML built into the program, in a window of its
// own beside the tool, with no network and no help viewer needed.
#pragma once

#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace korvel {

inline constexpr const char* MANUAL_CAPTION = "Handleiding";
inline constexpr const char* MANUAL_HOME = "qrc:/help/handleiding.html";

class TManualForm : public QWidget {
    Q_OBJECT
public:
    explicit TManualForm(QWidget* owner);

    // Shows the window above the others, where the engineer left off (at first, the top).
    void Open();

    QTextBrowser* Browser = nullptr;
    QPushButton* btnHome = nullptr;  // "Inhoud"
    QPushButton* btnBack = nullptr;  // "Terug"
};

}  // namespace korvel
