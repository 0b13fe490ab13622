// The controls the editor's window is made of, where plain Qt widgets behave
// differently: a list box whose click event fires only for the user's
// selection changes, a picture control drawing through the toolkit canvas,
// and glyphs with a transparent colour.
#pragma once

#include <QIcon>
#include <QImage>
#include <QTableView>
#include <QStringListModel>
#include <QString>
#include <QWidget>
#include <vector>

#include "toolkit/picture.h"

namespace hueshelf {

// Single-selection list of strings. It is a one-column table without
// headers or grid over a string model: all rows have the item height, so
// replacing every entry is one model reset and no layout walks the entries,
// however long the list. ItemIndex is the selected entry (-1 for none). Click is emitted when the user changes the
// selection with the mouse or the keyboard; commands that select an entry
// do not emit it.
class TListBox : public QTableView {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);

    int Count() const;
    QString Item(int index) const;
    void SetItem(int index, const QString& text);  // the selection stays
    void Add(const QString& text);
    void Clear();
    // Replaces every entry with `names` in one step.
    void SetItems(const QStringList& names);
    QStringList Items() const;

    int ItemIndex() const;
    void SetItemIndex(int index);  // -1 clears the selection
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    QRect ItemRect(int index) const;  // in viewport coordinates
    void ScrollTo(int index);

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SelectionChanged();
    QStringListModel* model_;
    int itemHeight_ = 13;
    int userInput_ = 0;  // nesting depth of mouse/keyboard handlers
};

// Shows a picture. With Stretch the picture fills the whole control (its
// aspect ratio is not kept); with Proportional it is shrunk to fit, keeping
// its aspect ratio, and centred; otherwise it is drawn at its own size at
// the top-left. Drawing goes through the toolkit canvas, so a JPEG is
// decoded on its first draw. The picture is rendered once, at its own size
// or (when larger) at the size it is shown, and scaled when painted. A
// picture that cannot be drawn reports its message once and leaves the
// control blank.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    const tk::TPicture& Picture() const { return picture_; }
    void SetPicture(const tk::TPicture& picture);  // a copy (shares the data)
    void ClearPicture();
    bool Stretch = false;
    bool Proportional = false;
    // Where the picture lands inside a control of the given size.
    QRect PictureRect(const QSize& control) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    tk::TPicture picture_;
    QImage rendered_;  // the picture drawn at the render size
    bool drawFailed_ = false;
};

// A 32 x 16 glyph: the normal look on the left half, the disabled look on
// the right; every pixel of the bottom-left pixel's colour is transparent.
QIcon LoadGlyph(const QString& fileName);
// Pixels of the bottom-left pixel's colour made transparent.
QImage WithTransparentColour(const QImage& image);
// An image list: a strip of size x size pictures, with the same transparent
// colour rule.
std::vector<QIcon> LoadImageList(const QString& fileName, int size = 16);

}  // namespace hueshelf
