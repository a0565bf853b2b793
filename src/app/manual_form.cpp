#include "app/manual_form.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

// The pages live in korvel_ui, a static library: naming their initialiser here links them in.
static void InitManualResources() { Q_INIT_RESOURCE(help); }

namespace korvel {

TManualForm::TManualForm(QWidget* owner) : QWidget(owner, Qt::Window) {
    InitManualResources();
    setObjectName(QStringLiteral("ManualForm"));
    setWindowTitle(QString::fromUtf8(MANUAL_CAPTION) + QStringLiteral(" - ") +
                   (owner != nullptr ? owner->windowTitle() : QString()));
    resize(760, 640);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    auto* buttons = new QHBoxLayout;
    btnHome = new QPushButton(QStringLiteral("&Inhoud"), this);
    btnHome->setObjectName(QStringLiteral("btnHome"));
    btnBack = new QPushButton(QStringLiteral("&Terug"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnBack->setEnabled(false);
    buttons->addWidget(btnHome);
    buttons->addWidget(btnBack);
    buttons->addStretch(1);
    column->addLayout(buttons);

    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Nothing in the manual leaves the program; a stray outside link must not open a browser.
    Browser->setOpenExternalLinks(false);
    column->addWidget(Browser, 1);

    connect(btnHome, &QPushButton::clicked, Browser, &QTextBrowser::home);
    connect(btnBack, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(Browser, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    Browser->setSource(QUrl(QString::fromLatin1(MANUAL_HOME)));
    // Read, then back to work: as a help window closes.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void TManualForm::Open() {
    show();
    raise();
    activateWindow();
    Browser->setFocus();
}

}  // namespace korvel
