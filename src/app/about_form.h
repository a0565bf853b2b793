// The About box: the maker's link and the file version read from the executable's own version
// block, read once when the box is created.
#pragma once

#include <QDialog>
#include <string>

#include "app/version_resource.h"

class QLabel;
class QPushButton;

namespace korvel {

class TOvcURL;

inline constexpr const char* MAKER_HOME_PAGE = "https://www.ventrabo.nl/";

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // versionFile: whose version is shown; the running executable unless a test says otherwise.
    explicit TAboutForm(const std::string& versionFile = RunningExecutablePath(), QWidget* parent = nullptr);

    TOvcURL* OvcURL2 = nullptr;
    QLabel* VersionLabel = nullptr;
    QPushButton* BitBtn1 = nullptr;
    TVersionResource VersionResource;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const std::string& versionFile);
};

}  // namespace korvel
