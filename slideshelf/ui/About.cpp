#include "About.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "Forms.h"

namespace slideshelf {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    EnsureResources();
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFont(FormFont());
    setFixedSize(298, 176);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 282, 121);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 32, 32);
    ProgramIcon->setPixmap(QIcon(QStringLiteral(":/slideshelf/icons/program.png")).pixmap(32, 32));

    ProductName = new QLabel(QStringLiteral("QVX Intro Screens Library Editor"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = FormFont();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->setGeometry(48, 12, 226, 16);

    Version = new QLabel(QStringLiteral("Version 0.1"), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setGeometry(48, 32, 226, 16);

    Comments = new QLabel(QStringLiteral("Builds intro screen libraries (.CRL) for the QVX game library: "
                                         "256-colour slides sharing one palette, each with a transition, "
                                         "a speed and a hold time."),
                          panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Comments->setGeometry(8, 56, 266, 58);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 140, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace slideshelf
