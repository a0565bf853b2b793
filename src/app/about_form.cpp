#include "app/about_form.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "widgets/field_builders.h"
#include "widgets/ovc_url.h"

namespace korvel {

TAboutForm::TAboutForm(const std::string& versionFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    ApplyFormFont(this);
    setFixedSize(300, 77);

    OvcURL2 = new TOvcURL(QStringLiteral("Ventrabo homepage"), QUrl(QString::fromLatin1(MAKER_HOME_PAGE)), this);
    OvcURL2->setObjectName(QStringLiteral("OvcURL2"));
    OvcURL2->setGeometry(0, 0, 300, 16);
    OvcURL2->setAlignment(Qt::AlignCenter);

    VersionLabel = new QLabel(this);
    VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
    VersionLabel->setGeometry(0, 16, 300, 16);
    VersionLabel->setAlignment(Qt::AlignCenter);
    QFont bold = VersionLabel->font();
    bold.setBold(true);
    VersionLabel->setFont(bold);
    QPalette silver = VersionLabel->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    silver.setColor(QPalette::WindowText, Qt::black);
    VersionLabel->setPalette(silver);
    VersionLabel->setAutoFillBackground(true);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(184, 42, 107, 24);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate(versionFile);
}

void TAboutForm::FormCreate(const std::string& versionFile) {
    VersionResource.SetFileName(versionFile);
    VersionLabel->setText(QStringLiteral("Version: ") + QString::fromStdString(VersionResource.VersionInfo().FileVersion));
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
    // The close button is the cancel button too: Escape closes with its result.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BitBtn1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutForm::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

}  // namespace korvel
