#include "Rename.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Forms.h"

namespace slideshelf {

TfrmRename::TfrmRename(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmRename"));
    setWindowTitle(QStringLiteral("Rename Image"));
    setFont(FormFont());
    setFixedSize(204, 99);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    Label1 = new QLabel(QStringLiteral("Image Name"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 12, 172, 14);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(16, 28, 172, 21);
    Edit1->setMaxLength(8);
    Label1->setBuddy(Edit1);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(24, 64, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(105, 64, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace slideshelf
