// The rename dialog: one edit box of at most 8 characters.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace slideshelf {

class TfrmRename : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRename(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

}  // namespace slideshelf
